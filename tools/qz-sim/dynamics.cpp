#include "dynamics.h"

#include <algorithm>
#include <cmath>

namespace qz::sim {

std::optional<double> ValueAt(const Dynamic& d, std::int64_t nowMs) {
  const std::int64_t t = nowMs - d.StartMs;
  if (t < 0) return std::nullopt;
  const std::int64_t period = std::max<std::int64_t>(d.PeriodMs, 1);
  switch (d.What) {
    case Dynamic::Kind::Step:
      return t >= d.AtMs ? std::optional<double>(d.B) : std::nullopt;
    case Dynamic::Kind::Ramp: {
      const std::int64_t into = d.Repeat ? t % period : std::min(t, period);
      return d.A + (d.B - d.A) * static_cast<double>(into) / static_cast<double>(period);
    }
    case Dynamic::Kind::Toggle:
      return (t / period) % 2 == 0 ? d.A : d.B;
    case Dynamic::Kind::Count: {
      // Counters are 16-bit on the wire: the count wraps as the station's does.
      const double v = d.Base + d.A * static_cast<double>(t / period);
      return std::fmod(std::fmod(v, 65536.0) + 65536.0, 65536.0);
    }
  }
  return std::nullopt;
}

}  // namespace qz::sim
