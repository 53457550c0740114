#include "cuc_file.h"

#include <algorithm>

#include "protocol/float24.h"

namespace qz::readers {

namespace {

std::optional<CivilTime> StampTime(const std::array<std::uint8_t, 6>& s) {
  const CivilTime t{2000 + s[0], s[1], s[2], s[3], s[4], s[5]};
  if (s[0] > 99 || t.Month < 1 || t.Month > 12 || t.Day < 1 || t.Day > 31 || t.Hour > 23 || t.Minute > 59 ||
      t.Second > 59) {
    return std::nullopt;
  }
  return t;
}

CucSample DecodeSample(std::string_view b, std::size_t number) {
  auto at = [&](std::size_t i) { return static_cast<std::uint8_t>(b[i]); };
  CucSample s;
  s.Number = number;
  for (std::size_t i = 0; i < 6; ++i) s.Stamp[i] = at(i);
  s.Status = at(6);
  for (std::size_t v = 0; v < 8; ++v) s.Values[v] = DecodeFloat24(at(7 + 3 * v), at(8 + 3 * v), at(9 + 3 * v));
  s.Empty = std::all_of(s.Stamp.begin(), s.Stamp.end(), [](std::uint8_t x) { return x == 0; });
  if (!s.Empty) s.Time = StampTime(s.Stamp);
  return s;
}

}  // namespace

std::optional<CucContent> DecodeCuc(std::string_view bytes, std::string& error) {
  const std::size_t whole = std::min(bytes.size() / kCucSampleSize, kCucSampleCount);
  if (whole == 0) {
    error = bytes.empty() ? "empty file, no samples (16368 bytes expected)"
                          : "only " + std::to_string(bytes.size()) + " bytes, no whole sample";
    return std::nullopt;
  }
  CucContent content;
  if (bytes.size() != kCucFileSize) {
    content.Warnings.push_back(std::to_string(bytes.size()) + " bytes instead of 16368: " +
                               (bytes.size() < kCucFileSize ? "short file" : "longer than a sample file") +
                               "; reading the " + std::to_string(whole) + " whole samples");
  }
  std::size_t written = 0, undated = 0;
  for (std::size_t i = 0; i < whole; ++i) {
    CucSample s = DecodeSample(bytes.substr(i * kCucSampleSize, kCucSampleSize), i + 1);
    if (!s.Empty) ++written;
    if (!s.Empty && !s.Time) ++undated;
    content.Samples.push_back(s);
  }
  if (undated != 0) {
    std::string w = std::to_string(undated) + " of " + std::to_string(written) + " samples have a time stamp that is no date";
    if (undated * 2 > written) w += ": this does not look like a sample file";
    content.Warnings.push_back(w);
  }
  return content;
}

}  // namespace qz::readers
