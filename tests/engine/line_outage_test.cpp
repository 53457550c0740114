// When the port comes back, the stations that fell asleep only because it
// was gone are woken and the line starts again at its idle phase; stations
// that slept for their own reasons sleep on.

#include "engine/line_outage.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "diag/texts.h"
#include "host/driver_state.h"
#include "support/memory_line.h"

namespace qz {
namespace {

TEST(LineOutage, WakesOnlyWhatFellAsleepAfterTheLinesLastAnswer) {
  DriverState state;
  InitDriverState(state);
  state.Config.SleepTime = 60.0;
  state.Engine.LineSilence = 10.0;  // the last answer came 10 s before the loss was noticed
  struct Case {
    const char* name;
    double sleepLeftAtLoss;  // 0: awake
    double sleepLeftAtReturn;
    int timeoutRun;
    bool woken;
  };
  const std::vector<Case> cases = {
      {"ALPHA", 55.0, 40.0, 3, true},    // fell asleep 5 s ago, while nothing answered
      {"BRAVO", 50.0, 35.0, 3, true},    // exactly at the last answer
      {"CHARLIE", 30.0, 15.0, 3, false}, // 30 s ago, while the others answered
      {"DELTA", 0.0, 0.0, 2, false},     // awake, two time-outs against the dead port
      {"ECHO", 58.0, 0.0, 0, false},     // its sleep ran out during the outage
  };
  state.Config.StationCount = static_cast<std::uint8_t>(cases.size());
  for (int n = 1; n <= state.Config.StationCount; ++n) {
    StationRecord& st = state.Config.Station(n);
    st.Name = cases[static_cast<std::size_t>(n - 1)].name;
    st.SleepTimer = cases[static_cast<std::size_t>(n - 1)].sleepLeftAtLoss;
    st.TimeoutRun = static_cast<std::uint16_t>(cases[static_cast<std::size_t>(n - 1)].timeoutRun);
  }
  state.Engine.FullSleepTimer = 0.0;

  LineOutage outage;
  outage.Begin(state.Config, state.Engine);
  for (int n = 1; n <= state.Config.StationCount; ++n) state.Config.Station(n).SleepTimer = cases[static_cast<std::size_t>(n - 1)].sleepLeftAtReturn;
  state.Engine.ThreadPhase = Phase::AwaitAnswer;
  state.Engine.AnswerBuffer = "\x10\x02partial";
  state.Engine.PrefixBuffer = "\x10";
  test::MemoryLine line;
  std::vector<std::string> events;
  outage.End(state.Config, state.Engine, line, [&](std::string_view text) { events.emplace_back(text); });

  std::vector<std::string> expectedEvents;
  for (int n = 1; n <= state.Config.StationCount; ++n) {
    const Case& c = cases[static_cast<std::size_t>(n - 1)];
    const StationRecord& st = state.Config.Station(n);
    SCOPED_TRACE(c.name);
    if (c.woken) {
      EXPECT_EQ(st.SleepTimer.value(), 0);
      expectedEvents.push_back(std::string(c.name) + std::string(text::kEvtSleepEnd));
    } else {
      EXPECT_EQ(st.SleepTimer.value(), c.sleepLeftAtReturn);
    }
    EXPECT_EQ(st.TimeoutRun, st.SleepTimer.value() > 0 ? c.timeoutRun : 0) << "awake stations start a fresh run";
  }
  EXPECT_EQ(events, expectedEvents);
  EXPECT_EQ(state.Engine.ThreadPhase, Phase::Idle);
  EXPECT_TRUE(state.Engine.AnswerBuffer.empty());
  EXPECT_TRUE(state.Engine.PrefixBuffer.empty());
  EXPECT_EQ(line.PurgeRxCount(), 1);
}

TEST(LineOutage, FullSleepThatBeganOnTheDeadLineEnds) {
  struct Case {
    double fullSleepLeft;
    bool ended;
  };
  for (const Case& c : {Case{59.0, true}, Case{20.0, false}, Case{0.0, false}}) {
    SCOPED_TRACE(c.fullSleepLeft);
    DriverState state;
    InitDriverState(state);
    state.Config.StationCount = 0;
    state.Config.SleepTime = 60.0;
    state.Engine.LineSilence = 5.0;
    state.Engine.FullSleepTimer = c.fullSleepLeft;
    LineOutage outage;
    outage.Begin(state.Config, state.Engine);
    test::MemoryLine line;
    std::vector<std::string> events;
    outage.End(state.Config, state.Engine, line, [&](std::string_view text) { events.emplace_back(text); });
    EXPECT_EQ(state.Engine.FullSleepTimer.value(), c.ended ? 0.0 : c.fullSleepLeft);
    EXPECT_EQ(events, c.ended ? std::vector<std::string>{std::string(text::kEvtFullSleepEnd)} : std::vector<std::string>{});
  }
}

}  // namespace
}  // namespace qz
