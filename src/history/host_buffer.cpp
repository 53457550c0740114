#include "history/host_buffer.h"

#include <cstring>

namespace qz {

namespace {

void Write16(std::uint8_t* buffer, std::size_t offset, std::uint16_t value) {
  buffer[offset] = static_cast<std::uint8_t>(value);
  buffer[offset + 1] = static_cast<std::uint8_t>(value >> 8);
}

}  // namespace

bool HostBufferAccepted(std::uint32_t channel, std::uint8_t typeCode, std::uint32_t size) {
  return channel == kHostBufferChannel && typeCode == kHostBufferTypeCode && size == kHostBufferSize;
}

void WriteHostBuffer32(std::uint8_t* buffer, std::size_t offset, std::uint32_t value) {
  for (std::size_t i = 0; i < 4; ++i) buffer[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

void InitHostBuffer(std::uint8_t* buffer) {
  if (!buffer) return;
  std::memset(buffer, 0, kHostBufferSize);
  Write16(buffer, 2, 8);                   // values per sample
  WriteHostBuffer32(buffer, 4, 528);       // number of samples
  Write16(buffer, 22, 9);
  const float period = 300.0f;
  std::memcpy(buffer + 30, &period, sizeof period);
}

void MarkHostBufferStarted(std::uint8_t* buffer) {
  if (!buffer) return;
  WriteHostBuffer32(buffer, kHostBufferSampleCount, 0);
  WriteHostBuffer32(buffer, kHostBufferState, kHostBufferStarted);
}

}  // namespace qz
