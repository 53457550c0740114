#pragma once
// A station's history memory as read out of it, kept in memory between the
// loading of its HDB file and the saving of it.
//
// 50000 records of 10 bytes; record i at offset 10*i. Image offset o is the
// station's memory byte F00000h + o. A record: code (16-bit), time stamp
// (seconds since 2000-01-01, 32-bit), value (IEEE single pattern), all least
// significant byte first. A cleared record is all zero.

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace qz {

inline constexpr std::size_t kHistoryImageSize = 500000;
inline constexpr std::size_t kHistoryRecordSize = 10;
inline constexpr std::size_t kHistoryRecordCount = kHistoryImageSize / kHistoryRecordSize;
inline constexpr std::uint32_t kHistoryMemoryBase = 0xF00000;

struct HistoryImage {
  std::vector<std::uint8_t> Bytes = std::vector<std::uint8_t>(kHistoryImageSize, 0);
};

struct HistoryRecord {
  std::uint16_t Code = 0;
  std::uint32_t Seconds = 0;     // since 2000-01-01 00:00:00
  std::uint32_t ValueBits = 0;   // IEEE single pattern
};

// Record index (0..49999); an index outside gives a cleared record.
HistoryRecord ReadHistoryRecord(const HistoryImage& image, std::size_t index);

// Copies bytes to the offset; what would fall beyond the image is dropped.
// Returns the number of bytes stored.
std::size_t StoreHistoryBytes(HistoryImage& image, std::size_t offset, std::string_view bytes);

}  // namespace qz
