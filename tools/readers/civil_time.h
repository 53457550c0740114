#pragma once
// Calendar times without a zone, as the stations and the log write them:
// ISO 8601 text, parsing of the times users give on the command line, and
// a count of seconds since 2000-01-01 00:00:00 to compare them.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace qz::readers {

struct CivilTime {
  int Year = 2000, Month = 1, Day = 1, Hour = 0, Minute = 0, Second = 0;
};

// "2026-12-10T13:56:55".
std::string IsoText(const CivilTime& t);

// Seconds since 2000-01-01 00:00:00 (negative before).
std::int64_t SecondsSince2000(const CivilTime& t);

// A time from the command line: "2026-12-10", "2026-12-10T13:56" or
// "2026-12-10 13:56:55". Nothing when it is not one of these or no date.
std::optional<std::int64_t> ParseUserTime(std::string_view text);

// The time of a history record's stamp; remembers the dates of the days it
// has seen, since a file holds tens of thousands of stamps from few days.
class HistoryClock {
 public:
  CivilTime At(std::uint32_t seconds);

 private:
  std::unordered_map<std::uint32_t, CivilTime> days_;
};

}  // namespace qz::readers
