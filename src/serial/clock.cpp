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

const Clock& DefaultClock() {
  static const SystemClock clock;
  return clock;
}

std::int32_t TimeOfDayCs(const Clock& clock) {
  const LocalDateTime t = clock.Now();
  return ((t.Hour * 60 + t.Minute) * 60 + t.Second) * 100 + t.Millisecond / 10;
}

}  // namespace qz
