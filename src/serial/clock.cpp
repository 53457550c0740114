#include "serial/clock.h"

#include <chrono>
#include <ctime>

namespace qz {

LocalDateTime SystemClock::Now() const {
  using namespace std::chrono;
  const auto now = system_clock::now();
  const std::time_t seconds = system_clock::to_time_t(now);
  const auto millis = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
  std::tm local{};
#ifdef _WIN32
  localtime_s(&local, &seconds);
#else
  localtime_r(&seconds, &local);
#endif
  return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
          local.tm_min,         local.tm_sec,     static_cast<int>(millis < 0 ? millis + 1000 : millis)};
}

std::int64_t Clock::SteadyMs() const {
  const LocalDateTime t = Now();
  // Days since 1970-01-01 of the civil date (proleptic Gregorian).
  const std::int64_t y = t.Year - (t.Month <= 2);
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const std::int64_t yoe = y - era * 400;
  const std::int64_t doy = (153 * (t.Month + (t.Month > 2 ? -3 : 9)) + 2) / 5 + t.Day - 1;
  const std::int64_t days = era * 146097 + yoe * 365 + yoe / 4 - yoe / 100 + doy - 719468;
  const std::int64_t ms = ((t.Hour * 60 + t.Minute) * 60 + t.Second) * 1000 + t.Millisecond;
  return days * 86'400'000 + ms;
}

std::int64_t SystemClock::SteadyMs() const {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

const Clock& DefaultClock() {
  static const SystemClock clock;
  return clock;
}

std::int32_t TimeOfDayCs(const Clock& clock) {
  const LocalDateTime t = clock.Now();
  return ((t.Hour * 60 + t.Minute) * 60 + t.Second) * 100 + t.Millisecond / 10;
}

std::int32_t TimeOfDayMs(const Clock& clock) {
  const LocalDateTime t = clock.Now();
  return ((t.Hour * 60 + t.Minute) * 60 + t.Second) * 1000 + t.Millisecond;
}

}  // namespace qz
