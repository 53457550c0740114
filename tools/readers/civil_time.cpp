#include "civil_time.h"

#include <cstdio>

#include "history/history_readout.h"

namespace qz::readers {

namespace {

// Days from 1970-01-01 to the date (proleptic Gregorian calendar).
std::int64_t DaysFromCivil(int y, int m, int d) {
  y -= m <= 2;
  const int era = (y >= 0 ? y : y - 399) / 400;
  const int yoe = y - era * 400;
  const int doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return static_cast<std::int64_t>(era) * 146097 + doe - 719468;
}

constexpr std::int64_t kDays1970To2000 = 10957;

bool Valid(const CivilTime& t) {
  return t.Month >= 1 && t.Month <= 12 && t.Day >= 1 && t.Day <= 31 && t.Hour >= 0 && t.Hour < 24 &&
         t.Minute >= 0 && t.Minute < 60 && t.Second >= 0 && t.Second < 60;
}

}  // namespace

std::string IsoText(const CivilTime& t) {
  char buf[48];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d", t.Year, t.Month, t.Day, t.Hour, t.Minute,
                t.Second);
  return buf;
}

std::int64_t SecondsSince2000(const CivilTime& t) {
  const std::int64_t days = DaysFromCivil(t.Year, t.Month, t.Day) - kDays1970To2000;
  return days * 86400 + t.Hour * 3600 + t.Minute * 60 + t.Second;
}

std::optional<std::int64_t> ParseUserTime(std::string_view text) {
  CivilTime t;
  const std::string s(text);
  char sep = 0;
  char tail = 0;
  int fields = std::sscanf(s.c_str(), "%4d-%2d-%2d%c%2d:%2d:%2d%c", &t.Year, &t.Month, &t.Day, &sep, &t.Hour,
                           &t.Minute, &t.Second, &tail);
  if (fields == 3 || ((fields == 6 || fields == 7) && (sep == 'T' || sep == ' '))) {
    if (Valid(t)) return SecondsSince2000(t);
  }
  return std::nullopt;
}

CivilTime HistoryClock::At(std::uint32_t seconds) {
  const std::uint32_t day = seconds / 86400;
  auto it = days_.find(day);
  if (it == days_.end()) {
    const HistoryDate d = DecodeHistoryTime(day * 86400);
    it = days_.emplace(day, CivilTime{d.Year, d.Month, d.Day, 0, 0, 0}).first;
  }
  CivilTime t = it->second;
  t.Hour = static_cast<int>(seconds % 86400 / 3600);
  t.Minute = static_cast<int>(seconds % 3600 / 60);
  t.Second = static_cast<int>(seconds % 60);
  return t;
}

}  // namespace qz::readers
