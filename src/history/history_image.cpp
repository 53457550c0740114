#include "history/history_image.h"

#include <algorithm>

namespace qz {

namespace {

std::uint32_t LittleEndian(const std::uint8_t* p, int count) {
  std::uint32_t v = 0;
  for (int i = count - 1; i >= 0; --i) v = (v << 8) | p[i];
  return v;
}

}  // namespace

HistoryRecord ReadHistoryRecord(const HistoryImage& image, std::size_t index) {
  HistoryRecord r;
  if (index >= kHistoryRecordCount || image.Bytes.size() < kHistoryImageSize) return r;
  const std::uint8_t* p = image.Bytes.data() + index * kHistoryRecordSize;
  r.Code = static_cast<std::uint16_t>(LittleEndian(p, 2));
  r.Seconds = LittleEndian(p + 2, 4);
  r.ValueBits = LittleEndian(p + 6, 4);
  return r;
}

std::size_t StoreHistoryBytes(HistoryImage& image, std::size_t offset, std::string_view bytes) {
  if (offset >= image.Bytes.size()) return 0;
  const std::size_t count = std::min(bytes.size(), image.Bytes.size() - offset);
  std::copy_n(reinterpret_cast<const std::uint8_t*>(bytes.data()), count, image.Bytes.begin() + static_cast<std::ptrdiff_t>(offset));
  return count;
}

}  // namespace qz
