#pragma once
// The host's sample buffer (channel 65532): a packed header of 34 bytes and
// 528 x 8 four-byte values, all little-endian. The host announces its size
// through BufferInfo as 16862 bytes, so the driver never writes beyond that,
// although the value table as laid out would reach 16930 bytes.

#include <cstddef>
#include <cstdint>

namespace qz {

inline constexpr std::uint32_t kHostBufferChannel = 65532;
inline constexpr std::uint8_t kHostBufferTypeCode = 9;
inline constexpr std::uint32_t kHostBufferSize = 16862;

inline constexpr std::size_t kHostBufferSampleCount = 8;  // samples received so far
inline constexpr std::size_t kHostBufferState = 24;       // 1 read-out started, 2 complete
inline constexpr std::size_t kHostBufferValues = 34;
inline constexpr std::uint32_t kHostBufferStarted = 1;
inline constexpr std::uint32_t kHostBufferComplete = 2;

// BufferInfo: true exactly for channel 65532, type code 9 and size 16862.
bool HostBufferAccepted(std::uint32_t channel, std::uint8_t typeCode, std::uint32_t size);

// Writes the header and clears the values, within the accepted size.
void InitHostBuffer(std::uint8_t* buffer);

// A 32-bit field of the header, least significant byte first.
void WriteHostBuffer32(std::uint8_t* buffer, std::size_t offset, std::uint32_t value);

// Start of a sample read-out: no samples yet, state 1.
void MarkHostBufferStarted(std::uint8_t* buffer);

}  // namespace qz
