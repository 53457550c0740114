#pragma once
// Sample files (.CUC) as the driver writes them: 528 samples of 31 bytes,
// no header. A sample: six time-stamp bytes (year within the century,
// month, day, hour, minute, second), a status byte and eight three-byte
// Float24 values.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "civil_time.h"

namespace qz::readers {

inline constexpr std::size_t kCucSampleSize = 31;
inline constexpr std::size_t kCucSampleCount = 528;
inline constexpr std::size_t kCucFileSize = kCucSampleSize * kCucSampleCount;

struct CucSample {
  std::size_t Number = 0;  // 1..528, 528 the newest
  std::array<std::uint8_t, 6> Stamp{};
  std::uint8_t Status = 0;
  std::array<double, 8> Values{};
  std::optional<CivilTime> Time;  // none when the stamp is no date
  bool Empty = false;             // the stamp is all zero: never read out
};

struct CucContent {
  std::vector<CucSample> Samples;  // every whole sample the file holds
  std::vector<std::string> Warnings;
};

// The samples of the file's bytes. Another size than 16368 bytes, or stamps
// that are no dates, give warnings; an empty file or one without a whole
// sample gives nothing, with error set.
std::optional<CucContent> DecodeCuc(std::string_view bytes, std::string& error);

}  // namespace qz::readers
