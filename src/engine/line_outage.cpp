#include "engine/line_outage.h"

#include <string>

#include "config/driver_config.h"
#include "diag/texts.h"
#include "engine/engine_state.h"
#include "engine/line_control.h"
#include "serial/port_setup.h"

namespace qz {

namespace {

// A sleep timer of timer seconds left began sleepTime - timer seconds ago;
// it began after the line's last answer when that is within the silence.
bool BeganWithin(double timer, double sleepTime, double silence) {
  constexpr double kSlack = 0.05;  // one cycle's rounding
  return timer > 0 && sleepTime - timer <= silence + kSlack;
}

}  // namespace

void LineOutage::Begin(const DriverConfig& config, const EngineState& engine) {
  const double silence = engine.LineSilence.value();
  const double sleepTime = config.SleepTime.value();
  sleepers_.reset();
  for (int n = 1; n <= config.StationCount && n <= kMaxStations; ++n) {
    if (!config.Stations[static_cast<std::size_t>(n)]) continue;
    if (BeganWithin(config.Station(n).SleepTimer.value(), sleepTime, silence)) sleepers_.set(static_cast<std::size_t>(n));
  }
  fullSleep_ = BeganWithin(engine.FullSleepTimer.value(), sleepTime, silence);
}

void LineOutage::End(DriverConfig& config, EngineState& engine, SerialLine& line, const ShowEvent& show) {
  for (int n = 1; n <= config.StationCount && n <= kMaxStations; ++n) {
    if (!config.Stations[static_cast<std::size_t>(n)]) continue;
    StationRecord& st = config.Station(n);
    if (sleepers_.test(static_cast<std::size_t>(n)) && st.SleepTimer.value() > 0) {
      st.SleepTimer = 0.0;
      if (show) show(st.Name.str() + std::string(text::kEvtSleepEnd));
    }
    if (st.SleepTimer.value() <= 0) st.TimeoutRun = 0;
  }
  if (fullSleep_ && engine.FullSleepTimer.value() > 0) {
    engine.FullSleepTimer = 0.0;
    if (show) show(text::kEvtFullSleepEnd);
  }
  sleepers_.reset();
  fullSleep_ = false;
  RestartLine(line, engine);
}

}  // namespace qz
