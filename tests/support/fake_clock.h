#pragma once
// A clock that tests set and advance by hand.

#include <chrono>
#include <cstdint>
#include <mutex>

#include "serial/clock.h"

namespace qz::test {

class FakeClock final : public Clock {
 public:
  FakeClock() = default;
  explicit FakeClock(const LocalDateTime& start) { Set(start); }

  LocalDateTime Now() const override {
    std::lock_guard guard(lock_);
    using namespace std::chrono;
    const auto day = floor<days>(now_);
    const year_month_day date(day);
    const hh_mm_ss<milliseconds> time(now_ - day);
    return {int(date.year()),
            static_cast<int>(unsigned(date.month())),
            static_cast<int>(unsigned(date.day())),
            static_cast<int>(time.hours().count()),
            static_cast<int>(time.minutes().count()),
            static_cast<int>(time.seconds().count()),
            static_cast<int>(time.subseconds().count())};
  }

  void Set(const LocalDateTime& t) {
    std::lock_guard guard(lock_);
    using namespace std::chrono;
    const sys_days day = year_month_day(year(t.Year), month(static_cast<unsigned>(t.Month)),
                                        std::chrono::day(static_cast<unsigned>(t.Day)));
    now_ = day + hours(t.Hour) + minutes(t.Minute) + seconds(t.Second) + milliseconds(t.Millisecond);
  }

  void SetTimeOfDay(int hour, int minute, int second, int millisecond) {
    LocalDateTime t = Now();
    t.Hour = hour;
    t.Minute = minute;
    t.Second = second;
    t.Millisecond = millisecond;
    Set(t);
  }

  void AdvanceMs(std::int64_t ms) {
    std::lock_guard guard(lock_);
    now_ += std::chrono::milliseconds(ms);
  }

 private:
  mutable std::mutex lock_;
  std::chrono::sys_time<std::chrono::milliseconds> now_{std::chrono::sys_days{std::chrono::year{2026} / 1 / 1}};
};

}  // namespace qz::test
