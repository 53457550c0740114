#pragma once
// The driver's clock: the local date and time, read through an interface so
// that tests can set it.

#include <cstdint>

namespace qz {

struct LocalDateTime {
  int Year = 1899;
  int Month = 12;  // 1..12
  int Day = 30;    // 1..31
  int Hour = 0;
  int Minute = 0;
  int Second = 0;
  int Millisecond = 0;
};

class Clock {
 public:
  virtual ~Clock() = default;
  virtual LocalDateTime Now() const = 0;
  // Milliseconds on a clock that only moves forward, for deadlines; the
  // default counts from the local date and time.
  virtual std::int64_t SteadyMs() const;
};

// The computer's local time.
class SystemClock final : public Clock {
 public:
  LocalDateTime Now() const override;
  std::int64_t SteadyMs() const override;
};

// The system clock, for callers that are not given a clock.
const Clock& DefaultClock();

// The local time of day in hundredths of a second: 0 at midnight, at most
// 8,639,999.
std::int32_t TimeOfDayCs(const Clock& clock);
// The same in milliseconds: at most 86,399,999.
std::int32_t TimeOfDayMs(const Clock& clock);

}  // namespace qz
