// The driver polling a line of three stations played by the simulator:
// values arrive in the station records, a silent station is sent to sleep
// while the others go on, a station's report is acknowledged, and Done
// returns promptly whatever the line is doing.

#include <gtest/gtest.h>

#include <cmath>

#include <chrono>
#include <cstdlib>
#include <optional>
#include <string>

#include "engine/engine_state.h"
#include "line/line_fixture.h"

namespace qz::test {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int kWaitMs = 10000;

class LinePolling : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(lib.Loaded()) << ::dlerror(); }

  // Starts the line and fails the test when it does not come up.
  void Start(const LineTiming& timing, const std::string& scenario = {}) {
    // QZ_LINE_TRANSCRIPT=FILE keeps the simulator's transcript of the line.
    const char* transcript = std::getenv("QZ_LINE_TRANSCRIPT");
    const std::string error = line.Start(ThreeStationFile(timing), scenario, {"--no-pace", "--turnaround-ms", "1"},
                                         transcript ? transcript : "");
    ASSERT_EQ(error, "");
  }

  double Msgs(int n) const { return line.Real(MsgCounterChannel(n)); }
  SimStationStats SimStats(int address) const { return ParseStationStats(line.sim->Command("stats"), address); }

  // Waits until every station but `except` has had `more` further requests.
  bool OthersGoOn(int except, double more) {
    double start[4] = {};
    for (int n = 1; n <= 3; ++n) start[n] = Msgs(n);
    return WaitUntil(
        [&] {
          for (int n = 1; n <= 3; ++n) {
            if (n != except && Msgs(n) < start[n] + more) return false;
          }
          return true;
        },
        kWaitMs);
  }

  ::qz::testing::TempDir dir;
  ::qz::testing::ScopedEnv root{"QZ_ROOT", dir.path().string()};
  ::qz::testing::ScopedEnv hdb{"QZ_HDB_DIR", dir.path().string()};
  DriverLibrary lib;
  DriverOnLine line{dir, lib};
};

TEST_F(LinePolling, EveryStationsValuesReachItsRecord) {
  Start({},
        "set 21 bi 1 1\nset 21 ai 1 12.5\n"
        "set 22 bi 2 1\nset 22 ai 2 -3.25\n"
        "set 23 bi 8 1\nset 23 ai 1 100\nset 23 ai 2 0.5\n");
  struct Expected {
    int station;
    std::uint32_t channel;
    bool binary;
    double value;
  };
  const Expected expected[] = {
      {1, BinaryInChannel(1, 1), true, 1},     {1, BinaryInChannel(1, 2), true, 0},
      {1, AnalogInChannel(1, 1), false, 12.5}, {2, BinaryInChannel(2, 2), true, 1},
      {2, AnalogInChannel(2, 2), false, -3.25}, {3, BinaryInChannel(3, 8), true, 1},
      {3, AnalogInChannel(3, 1), false, 100},  {3, AnalogInChannel(3, 2), false, 0.5},
  };
  for (const Expected& e : expected) {
    auto current = [&] { return e.binary ? line.Binary(e.channel) : line.Real(e.channel); };
    EXPECT_TRUE(WaitUntil([&] { return current() == e.value; }, kWaitMs))
        << "station " << e.station << " channel " << e.channel << ": " << current() << " instead of " << e.value;
  }

  // Polling goes on: a change on the line shows up in the record.
  ASSERT_EQ(line.sim->Command("set 22 ai 1 7.75"), "");
  ASSERT_EQ(line.sim->Command("set 22 bi 2 0"), "");
  EXPECT_TRUE(WaitUntil([&] { return line.Real(AnalogInChannel(2, 1)) == 7.75; }, kWaitMs));
  EXPECT_TRUE(WaitUntil([&] { return line.Binary(BinaryInChannel(2, 2)) == 0; }, kWaitMs));

  // Every request was answered: what the driver counts matches the line.
  const double sent = line.Real(kSentCountChannel);
  EXPECT_GT(sent, 0);
  EXPECT_LE(line.Real(kReceivedCountChannel), sent);
  for (int n = 1; n <= 3; ++n) {
    EXPECT_EQ(line.Real(ErrCountChannel(n)), 0) << "station " << n << " timed out";
    EXPECT_EQ(line.Real(SleepTimeChannel(n)), 0) << "station " << n;
  }
  const std::string summary = line.Stop();
  for (int address : kStationAddress) {
    const SimStationStats s = ParseStationStats(summary, address);
    EXPECT_GT(s.Requests, 0) << summary;
    EXPECT_EQ(s.Answers, s.Requests) << summary;
  }
}

TEST_F(LinePolling, SilentStationSleepsAfterSleepCountTimeOutsWhileTheOthersGoOn) {
  LineTiming timing;
  timing.SleepCount = 3;
  timing.SleepTime = 3.0;
  Start(timing);
  ASSERT_TRUE(OthersGoOn(0, 3)) << "the line does not run";

  ASSERT_EQ(line.sim->Command("fault 22 silence"), "");
  ASSERT_TRUE(WaitUntil([&] { return line.Real(SleepTimeChannel(2)) > 0; }, kWaitMs)) << "station 2 never slept";
  const double asleepAt = Msgs(2);
  EXPECT_EQ(line.Real(ErrCountChannel(2)), timing.SleepCount) << "consecutive time-outs";
  EXPECT_LE(line.Real(SleepTimeChannel(2)), timing.SleepTime);
  const SimStationStats silent = SimStats(22);
  EXPECT_EQ(silent.Silent, timing.SleepCount) << "requests left unanswered";

  // The others are polled on; the sleeper is passed by.
  EXPECT_TRUE(OthersGoOn(2, 10));
  ASSERT_GT(line.Real(SleepTimeChannel(2)), 0) << "slept too short to compare";
  EXPECT_EQ(Msgs(2), asleepAt) << "a sleeping station was polled";
  EXPECT_EQ(SimStats(22).Requests, silent.Requests);
  EXPECT_EQ(line.Real(kFullSleepChannel), 0);
  for (int n : {1, 3}) EXPECT_EQ(line.Real(ErrCountChannel(n)), 0) << "station " << n;

  // Once its sleep has run out and it answers again it is polled as before.
  ASSERT_EQ(line.sim->Command("clear 22"), "");
  EXPECT_TRUE(WaitUntil([&] { return line.Real(SleepTimeChannel(2)) == 0; }, kWaitMs));
  EXPECT_TRUE(WaitUntil([&] { return Msgs(2) >= asleepAt + 3 && line.Real(ErrCountChannel(2)) == 0; }, kWaitMs))
      << "station 2 after its sleep: " << Msgs(2) << " requests, " << line.Real(ErrCountChannel(2)) << " time-outs";
}

TEST_F(LinePolling, EveryStationSilentStopsTheLineInFullSleep) {
  LineTiming timing;
  timing.SleepCount = 2;
  Start(timing);
  ASSERT_TRUE(OthersGoOn(0, 2));
  ASSERT_EQ(line.sim->Command("fault * silence"), "");
  ASSERT_TRUE(WaitUntil([&] { return line.Real(kFullSleepChannel) > 0; }, kWaitMs)) << "no full sleep";
  const double sent = line.Real(kSentCountChannel);
  // Nothing at all goes out while the line sleeps: several answer times pass.
  const auto until = Clock::now() + std::chrono::milliseconds(static_cast<int>(timing.AnswerTime * 4000));
  WaitUntil([&] { return line.Real(kSentCountChannel) != sent || Clock::now() > until; }, kWaitMs);
  EXPECT_EQ(line.Real(kSentCountChannel), sent);
  for (int n = 1; n <= 3; ++n) EXPECT_GT(line.Real(SleepTimeChannel(n)), 0) << "station " << n;
}

// An H report is acknowledged as the station expects it: in front of a
// polled answer, or as a frame of its own while the driver waits for the
// answer of a station that stays silent. (A frame of its own that lands
// between exchanges is purged with the line before the next request.)
TEST_F(LinePolling, ReportInFrontOfAnAnswerIsAcknowledged) {
  Start({}, "set 22 bi 5 1\n");
  ASSERT_TRUE(OthersGoOn(0, 2));
  ASSERT_EQ(line.sim->Command("report 22 h"), "");
  SimStationStats s;
  EXPECT_TRUE(WaitUntil(
      [&] {
        s = SimStats(22);
        return s.Acked + s.Wrong + s.Missing >= 1;
      },
      kWaitMs));
  EXPECT_EQ(s.Reports, 1);
  EXPECT_EQ(s.Acked, 1) << line.sim->Command("stats");
  EXPECT_EQ(s.Wrong, 0);
  EXPECT_EQ(s.Missing, 0);
  EXPECT_EQ(line.Binary(BinaryInChannel(2, 5)), 1);
  EXPECT_TRUE(OthersGoOn(0, 2)) << "polling after the report";
}

TEST_F(LinePolling, ReportOfItsOwnWhileWaitingForAnotherStationIsAcknowledged) {
  LineTiming timing;
  timing.AnswerTime = 3.0;
  timing.SleepCount = 100;
  Start(timing);
  ASSERT_TRUE(OthersGoOn(0, 2));
  ASSERT_EQ(line.sim->Command("fault 21 silence"), "");
  constexpr std::uint32_t kActiveStation = 494, kThreadPhase = 495;
  constexpr double kAwaitAnswer = static_cast<double>(qz::Phase::AwaitAnswer);
  ASSERT_TRUE(WaitUntil([&] { return line.Real(kActiveStation) == 1 && line.Real(kThreadPhase) == kAwaitAnswer; }, kWaitMs));
  ASSERT_EQ(line.sim->Command("report 22 h now"), "");
  SimStationStats s;
  EXPECT_TRUE(WaitUntil(
      [&] {
        s = SimStats(22);
        return s.Acked + s.Wrong + s.Missing >= 1;
      },
      kWaitMs));
  EXPECT_EQ(s.Acked, 1) << line.sim->Command("stats");
}

// A station's answer that comes long after its time-out, when the driver
// has read the station's values anew since, does not take them back for
// longer than one exchange. While the driver waits for another station, or
// for another kind of answer of this one, the late frame stores nothing; the
// one case no protocol without sequence numbers can tell apart is a late
// answer that lands while the same kind of request to the same station is
// on the line: it is taken as that answer, and the next poll of the station
// brings the new values back.
TEST_F(LinePolling, LateAnswerDoesNotTakeTheValuesBack) {
  LineTiming timing;
  timing.SleepCount = 100;
  Start(timing, "set 22 bi 1 0\nset 22 ai 1 10\n");
  ASSERT_TRUE(OthersGoOn(0, 2));
  auto fresh = [&] {
    return line.Binary(BinaryInChannel(2, 1)) == 1 && std::abs(line.Real(AnalogInChannel(2, 1)) - 20.0) < 0.01;
  };
  ASSERT_EQ(line.Binary(BinaryInChannel(2, 1)), 0);
  // The next answer of station 22 leaves 700 ms late with the old values.
  ASSERT_EQ(line.sim->Command("fault 22 late 700 times 1"), "");
  ASSERT_TRUE(WaitUntil([&] { return SimStats(22).Faulted >= 1; }, kWaitMs));
  ASSERT_EQ(line.sim->Command("set 22 bi 1 1"), "");
  ASSERT_EQ(line.sim->Command("set 22 ai 1 20"), "");
  ASSERT_TRUE(WaitUntil(fresh, kWaitMs)) << "the new values never came";
  // Watch them while the late answer comes and is read: old values may show
  // for one poll round at most, never for longer.
  constexpr auto kOneRound = std::chrono::milliseconds(1000);
  std::chrono::milliseconds longestOld{0};
  std::optional<Clock::time_point> oldSince;
  const auto until = Clock::now() + std::chrono::milliseconds(1500);
  WaitUntil(
      [&] {
        const auto now = Clock::now();
        if (fresh()) {
          oldSince.reset();
        } else {
          if (!oldSince) oldSince = now;
          longestOld = std::max(longestOld, std::chrono::duration_cast<std::chrono::milliseconds>(now - *oldSince));
        }
        return now > until;
      },
      kWaitMs);
  EXPECT_LT(longestOld, kOneRound) << "old values held for " << longestOld.count() << " ms";
  EXPECT_TRUE(WaitUntil(fresh, kWaitMs)) << "the new values did not come back";
  EXPECT_TRUE(OthersGoOn(0, 2)) << "polling after the late answer";
  EXPECT_EQ(line.Real(ErrCountChannel(1)) + line.Real(ErrCountChannel(3)), 0) << "the others are answered";
}

// Done ends the communication thread within a second, whether the line is
// busy with answers or the driver waits for an answer that does not come.
struct DoneCase {
  const char* name;
  const char* fault;  // simulator command, or empty
  double answerTime;
};

class DoneOnBusyLine : public LinePolling, public ::testing::WithParamInterface<DoneCase> {};

TEST_P(DoneOnBusyLine, ReturnsWithinASecond) {
  LineTiming timing;
  timing.AnswerTime = GetParam().answerTime;
  timing.IdleTime = 0;
  Start(timing);
  ASSERT_TRUE(OthersGoOn(0, 1));
  if (*GetParam().fault) {
    ASSERT_EQ(line.sim->Command(GetParam().fault), "");
    const double sent = line.Real(kSentCountChannel);
    ASSERT_TRUE(WaitUntil([&] { return line.Real(kSentCountChannel) > sent; }, kWaitMs));
  }
  const auto start = Clock::now();
  line.StopDriver();
  const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
  EXPECT_LT(took.count(), 1000) << "Done took " << took.count() << " ms";
}

INSTANTIATE_TEST_SUITE_P(Cases, DoneOnBusyLine,
                         ::testing::Values(DoneCase{"Polling", "", 0.25},
                                           DoneCase{"WaitingForAnAnswer", "fault * silence", 5.0}),
                         [](const ::testing::TestParamInfo<DoneCase>& p) { return std::string(p.param.name); });

}  // namespace
}  // namespace qz::test
