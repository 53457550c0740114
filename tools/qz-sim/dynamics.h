#pragma once
// How a station value changes over time: a step at a moment, a ramp, a
// toggle between two values, a counter that grows. Evaluated at a time that
// the caller passes in.

#include <cstdint>
#include <optional>

#include "station.h"

namespace qz::sim {

struct Dynamic {
  enum class Kind { Step, Ramp, Toggle, Count };
  Kind What = Kind::Step;
  std::uint8_t Station = 0;
  ItemRef Item;
  double A = 0;               // ramp start, toggle first value, count increment
  double B = 0;               // step/ramp target, toggle second value
  std::int64_t StartMs = 0;   // simulator time the change was set up
  std::int64_t AtMs = 0;      // step: delay after StartMs
  std::int64_t PeriodMs = 1;  // ramp duration, toggle and count period
  bool Repeat = false;        // ramp starts again after each period
  double Base = 0;            // count: the value when it was set up
};

// The value the item should have at nowMs, or nothing when the change does
// not (or no longer) set it.
std::optional<double> ValueAt(const Dynamic& d, std::int64_t nowMs);

}  // namespace qz::sim
