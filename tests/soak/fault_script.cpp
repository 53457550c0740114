#include "soak/fault_script.h"

#include <random>
#include <sstream>

namespace qz::soak {

int FaultScript::Total() const {
  int n = 0;
  for (const auto& [kind, count] : Counts) n += count;
  return n;
}

namespace {

std::string Ms(std::int64_t ms) { return std::to_string(ms) + "ms"; }

}  // namespace

FaultScript MakeFaultScript(const FaultScriptOptions& o) {
  FaultScript out;
  std::ostringstream s;
  s << "# soak faults, seed " << o.Seed << "\n";
  for (int st : o.Stations) s << "0ms history " << st << " every 3s\n";
  if (o.Stations.empty() || o.FaultsUntilMs <= o.FaultsFromMs) {
    out.Text = s.str();
    return out;
  }
  std::mt19937_64 rng(o.Seed);
  auto uniform = [&](std::int64_t lo, std::int64_t hi) { return std::uniform_int_distribution<std::int64_t>(lo, hi)(rng); };
  std::exponential_distribution<double> gap(1.0 / static_cast<double>(std::max<std::int64_t>(o.MeanGapMs, 1)));
  std::int64_t lastUnplug = -o.MinUnplugGapMs;
  std::int64_t at = o.FaultsFromMs;
  while (true) {
    at += 100 + static_cast<std::int64_t>(gap(rng));
    if (at >= o.FaultsUntilMs - 5000) break;  // the last unplug is back before the quiet line
    const int st = o.Stations[static_cast<std::size_t>(uniform(0, static_cast<std::int64_t>(o.Stations.size()) - 1))];
    const std::string times = uniform(0, 2) == 0 ? " once" : " times " + std::to_string(uniform(2, 3));
    std::string kind;
    std::string command;
    switch (uniform(0, 7)) {
      case 0: kind = "silence"; command = "fault " + std::to_string(st) + " silence" + times; break;
      case 1: kind = "badcheck"; command = "fault " + std::to_string(st) + " badcheck" + times; break;
      case 2:
        kind = "garbage";
        command = "fault " + std::to_string(st) + " garbage " + std::to_string(uniform(1, 12)) + times;
        break;
      case 3:
        kind = "truncate";
        command = "fault " + std::to_string(st) + " truncate " + std::to_string(uniform(0, 8)) + times;
        break;
      case 4: kind = "foreign"; command = "fault " + std::to_string(st) + " foreign" + times; break;
      case 5:
      case 6:
        kind = "report";
        command = "report " + std::to_string(st) + (uniform(0, 1) ? " h" : " x") + (uniform(0, 1) ? " now" : "");
        break;
      default:
        if (at - lastUnplug < o.MinUnplugGapMs) continue;
        lastUnplug = at;
        kind = "unplug";
        command = "unplug " + Ms(uniform(1000, 4000));
        break;
    }
    ++out.Counts[kind];
    s << Ms(at) << " " << command << "\n";
  }
  s << Ms(o.FaultsUntilMs) << " clear *\n";
  out.Text = s.str();
  return out;
}

}  // namespace qz::soak
