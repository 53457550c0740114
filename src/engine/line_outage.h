#pragma once
// The engine's side of a port whose device went away and came back.
//
// While a port is gone nothing answers, so the stations polled in the last
// moments before the loss was noticed time out and may fall asleep. Those
// time-outs say nothing about the stations: when the port is back, a station
// whose sleep began after the line's last answer is woken, and the machine
// starts again at its idle phase.

#include <bitset>
#include <functional>
#include <string_view>

#include "config/station.h"

namespace qz {

struct DriverConfig;
struct EngineState;
class SerialLine;

class LineOutage {
 public:
  using ShowEvent = std::function<void(std::string_view)>;

  // The port went away: notes the stations (and a full sleep) that fell
  // asleep since the line last carried an answer.
  void Begin(const DriverConfig& config, const EngineState& engine);
  // The port is open again: wakes what Begin noted, clears the time-out runs
  // and restarts the line at its idle phase, as a port set-up does.
  void End(DriverConfig& config, EngineState& engine, SerialLine& line, const ShowEvent& show);

 private:
  std::bitset<kMaxStations + 1> sleepers_;
  bool fullSleep_ = false;
};

}  // namespace qz
