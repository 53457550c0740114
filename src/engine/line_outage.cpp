#include "engine/line_outage.h"

#include <string>

#include "diag/texts.h"
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

void LineOutage::Begin(const DriverState& state) {
  const double silence = state.Engine.LineSilence.value();
  const double sleepTime = state.Config.SleepTime.value();
  sleepers_.reset();
  for (int n = 1; n <= state.Config.StationCount && n <= kMaxStations; ++n) {
    if (!state.Config.Stations[static_cast<std::size_t>(n)]) continue;
    if (BeganWithin(state.Config.Station(n).SleepTimer.value(), sleepTime, silence)) sleepers_.set(static_cast<std::size_t>(n));
  }
  fullSleep_ = BeganWithin(state.Engine.FullSleepTimer.value(), sleepTime, silence);
}

void LineOutage::End(DriverState& state, SerialLine& line, const ShowEvent& show) {
  for (int n = 1; n <= state.Config.StationCount && n <= kMaxStations; ++n) {
    if (!state.Config.Stations[static_cast<std::size_t>(n)]) continue;
    StationRecord& st = state.Config.Station(n);
    if (sleepers_.test(static_cast<std::size_t>(n)) && st.SleepTimer.value() > 0) {
      st.SleepTimer = 0.0;
      if (show) show(st.Name.str() + std::string(text::kEvtSleepEnd));
    }
    if (st.SleepTimer.value() <= 0) st.TimeoutRun = 0;
  }
  if (fullSleep_ && state.Engine.FullSleepTimer.value() > 0) {
    state.Engine.FullSleepTimer = 0.0;
    if (show) show(text::kEvtFullSleepEnd);
  }
  sleepers_.reset();
  fullSleep_ = false;

  EngineState& e = state.Engine;
  e.LineSilence = 0.0;
  e.ThreadPhase = Phase::Idle;
  PurgeLine(line);
  e.PrefixBuffer.clear();
  e.AnswerBuffer.clear();
}

}  // namespace qz
