#pragma once
// A station's history memory as read out of it, kept in memory between the
// loading of its HDB file and the saving of it.

#include <cstdint>
#include <vector>

namespace qz {

inline constexpr std::size_t kHistoryImageSize = 500000;

struct HistoryImage {
  std::vector<std::uint8_t> Bytes = std::vector<std::uint8_t>(kHistoryImageSize, 0);
};

}  // namespace qz
