#pragma once
// The soak's line faults: a timed script in the simulator's script language,
// drawn from a seed, so that a run can be repeated exactly.

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace qz::soak {

struct FaultScriptOptions {
  std::uint64_t Seed = 1;
  std::vector<int> Stations;     // simulated station addresses
  std::int64_t FaultsFromMs = 0;  // the first fault
  std::int64_t FaultsUntilMs = 0; // faults end here: "clear *", then a quiet line
  std::int64_t MeanGapMs = 1500;  // mean time between two faults
  std::int64_t MinUnplugGapMs = 20000;  // at least this long between two unplugs
};

struct FaultScript {
  std::string Text;                    // the script, one "TIME COMMAND" a line
  std::map<std::string, int> Counts;   // faults injected by kind (silence, badcheck, ..., report, unplug)
  int Total() const;
};

// Silence, a wrong check byte, garbage before the frame, a truncated frame,
// an answer to another master, reports in front of an answer or on their
// own, and the line unplugged for 1..4 s; each fault hits one station for
// one to three answers. History records grow on every station all along.
FaultScript MakeFaultScript(const FaultScriptOptions& options);

}  // namespace qz::soak
