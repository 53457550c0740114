// Faults, reports and their acknowledgements, bad input from the line,
// value changes over time and the command language, all with the time
// passed in.

#include <gtest/gtest.h>

#include <random>

#include "sim_fixture.h"

namespace qz::sim::test {
namespace {

using ResponderTest = ResponderFixture;

std::uint8_t XorAll(std::string_view bytes) {
  std::uint8_t x = 0;
  for (char c : bytes) x ^= static_cast<std::uint8_t>(c);
  return x;
}

const std::string kPoll = Request(5, "42 03");
const std::string kGood = Answer(5, "42 03 00 00");

TEST_F(ResponderTest, FaultsShowOnTheWire) {
  Run("fault 5 silence once");
  EXPECT_EQ(Ask(kPoll), "");
  EXPECT_EQ(HexOf(Ask(kPoll)), HexOf(kGood));  // once means once

  Run("fault 5 badcheck once");
  const std::string bad = Ask(kPoll);
  ASSERT_EQ(bad.size(), kGood.size());
  EXPECT_NE(XorAll(bad.substr(2, bad.size() - 4)), 0);  // the message no longer checks
  EXPECT_EQ(bad.substr(0, bad.size() - 3), kGood.substr(0, kGood.size() - 3));

  Run("fault 5 garbage 3 once");
  EXPECT_EQ(HexOf(Ask(kPoll)), "55 AA FF " + HexOf(kGood));

  Run("fault 5 truncate 4 once");
  EXPECT_EQ(HexOf(Ask(kPoll)), HexOf(kGood.substr(0, 2 + 4)));

  Run("fault 5 foreign once");
  EXPECT_EQ(HexOf(Ask(kPoll)), HexOf(FrameOf("02 00 59 00 02 05", "42 03 00 00")));

  Run("fault 5 late once");
  EXPECT_EQ(HexOf(Ask(kPoll, 100)), HexOf(kGood));
  EXPECT_EQ(lastDue_, 100 + 5 + 1000 + 500);  // past ANSWER_TIME 1.0 s
  Run("fault 5 late 50 once");
  Ask(kPoll, 200);
  EXPECT_EQ(lastDue_, 200 + 5 + 50);
  Ask(kPoll, 300);
  EXPECT_EQ(lastDue_, 305);

  Run("fault 5 error 7 times 2");
  EXPECT_EQ(HexOf(Ask(kPoll)), HexOf(Answer(5, "45 07")));
  EXPECT_EQ(HexOf(Ask(kPoll)), HexOf(Answer(5, "45 07")));
  EXPECT_EQ(HexOf(Ask(kPoll)), HexOf(kGood));

  const StationStats& st = responder_.Stats(5);
  EXPECT_EQ(st.Silenced, 1u);
  EXPECT_EQ(st.Faulted, 8u);  // the injected error answers count too
  EXPECT_EQ(st.ErrorAnswers, 2u);
}

TEST_F(ResponderTest, FaultStaysUntilClearedAndStarReachesEveryStation) {
  Run("fault * silence");
  EXPECT_EQ(Ask(kPoll), "");
  EXPECT_EQ(Ask(kPoll), "");
  EXPECT_EQ(Ask(FrameOf("06 00 74 03 31 32 33", "42 01")), "");
  Run("clear 5 silence");
  EXPECT_EQ(HexOf(Ask(kPoll)), HexOf(kGood));
  EXPECT_EQ(Ask(FrameOf("06 00 74 03 31 32 33", "42 01")), "");
  Run("clear *");
  EXPECT_FALSE(Ask(FrameOf("06 00 74 03 31 32 33", "42 01")).empty());
}

TEST_F(ResponderTest, ReportRidesOnTheNextAnswerAndItsAcknowledgementIsChecked) {
  Run("set 5 bi 1 1");
  Run("report 5 h");
  const std::string report = Ask(kPoll);
  EXPECT_EQ(HexOf(report), HexOf(Answer(5, "48 42 03 01 00")));
  // The control centre's acknowledgement: byte 4 of the report, "y", 0, the
  // station, 0, and the report's body.
  EXPECT_EQ(Ask(FrameOf("00 00 79 00 05 00", "48 42 03 01 00")), "");
  EXPECT_EQ(responder_.Stats(5).AcksOk, 1u);

  Run("report 5 x");
  Ask(kPoll);
  Ask(FrameOf("00 00 79 00 05 00", "58 42 03 01 01"));  // a byte wrong
  EXPECT_EQ(responder_.Stats(5).AcksBad, 1u);

  Run("report 5 h");
  Ask(kPoll, 1000);
  responder_.Tick(2000);
  EXPECT_EQ(responder_.Stats(5).AcksMissing, 0u);
  responder_.Tick(2100);  // past due + 16 bytes on the line + time-out
  EXPECT_EQ(responder_.Stats(5).AcksMissing, 1u);
  EXPECT_EQ(responder_.Stats(5).Reports, 3u);
}

TEST_F(ResponderTest, ImmediateReportLeavesAtTheNextTick) {
  Run("report 6 h now");
  const auto out = responder_.Tick(40);
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(out[0].DueMs, 40);
  EXPECT_EQ(HexOf(out[0].Bytes), HexOf(Answer(6, "48 42 01 00", 3)));
  EXPECT_TRUE(responder_.Tick(50).empty());
  // A request before the acknowledgement counts it as missing.
  Ask(FrameOf("06 00 74 03 31 32 33", "42 01"), 60);
  EXPECT_EQ(responder_.Stats(6).AcksMissing, 1u);
}

TEST_F(ResponderTest, ShortHeaderStationAnswersWithoutY) {
  Run("header 5 short");
  EXPECT_EQ(HexOf(Ask(kPoll)), HexOf(FrameOf("05 00", "42 03 00 00")));
  // A report in the short form comes back unchanged as its acknowledgement.
  Run("report 5 h");
  const std::string report = Ask(kPoll);
  EXPECT_EQ(HexOf(report), HexOf(FrameOf("05 00", "48 42 03 00 00")));
  Ask(report);
  EXPECT_EQ(responder_.Stats(5).AcksOk, 1u);
}

TEST_F(ResponderTest, BadInputFromTheLineIsCountedAndSkipped) {
  // Noise, a frame with a wrong check byte, then a good request: answered.
  std::string bad = kPoll;
  bad[bad.size() - 3] ^= 1;
  EXPECT_EQ(HexOf(Ask("\x55\x10\x99" + bad + kPoll)), HexOf(kGood));
  EXPECT_EQ(responder_.Line().BadCheck, 1u);
  // Another master, an unknown station, a message too short for its header.
  EXPECT_EQ(Ask(FrameOf("00 00 59 09 05 09", "42 03")), "");
  EXPECT_EQ(Ask(Request(77, "42 03")), "");
  EXPECT_EQ(Ask(FrameOf("00 00 59", "")), "");
  EXPECT_EQ(responder_.Line().NotOurs, 2u);
  EXPECT_EQ(responder_.Line().Malformed, 1u);
  // Half a frame, then a pause: dropped, and the next frame is answered.
  EXPECT_EQ(Ask(kPoll.substr(0, 6), 1000), "");
  responder_.Tick(1600);
  EXPECT_EQ(responder_.Line().Stale, 1u);
  EXPECT_EQ(HexOf(Ask(kPoll, 1700)), HexOf(kGood));
}

TEST_F(ResponderTest, RandomBytesNeverBreakTheStations) {
  std::mt19937 random(12345);
  for (int round = 0; round < 2000; ++round) {
    std::string junk(random() % 40, '\0');
    for (char& c : junk) c = static_cast<char>(random() % 4 == 0 ? 0x10 : random());
    if (random() % 3 == 0) junk += Request(5, "51 4E F7 FF FF FF");
    responder_.Receive(junk, round);
    responder_.Tick(round);
  }
  responder_.Tick(100000);  // any partial frame is given up
  EXPECT_EQ(HexOf(Ask(kPoll, 100001)), HexOf(kGood));
}

TEST_F(ResponderTest, ValuesChangeOverTime) {
  Run("ramp 5 ai 1 from 0 to 100 over 10s");
  Run("toggle 5 bi 2 every 1s");
  Run("count 5 ct 1 by 10 every 1s");
  Run("step 5 mo 1 at 2s to 7");
  Station& s = *responder_.Find(5);
  responder_.Tick(1999);
  EXPECT_NEAR(s.Get({ItemRef::Area::AI, 1}).value_or(0), 19.99, 0.001);  // Float24 truncates
  EXPECT_EQ(s.Get({ItemRef::Area::BI, 2}), 1.0);  // second period of the toggle
  EXPECT_EQ(s.Get({ItemRef::Area::CT, 1}), 10.0);
  EXPECT_EQ(s.Get({ItemRef::Area::MO, 1}), 0.0);
  responder_.Tick(2500);
  EXPECT_EQ(s.Get({ItemRef::Area::BI, 2}), 0.0);
  responder_.Tick(5000);
  EXPECT_EQ(s.Get({ItemRef::Area::AI, 1}), 50.0);
  EXPECT_EQ(s.Get({ItemRef::Area::CT, 1}), 50.0);
  EXPECT_EQ(s.Get({ItemRef::Area::MO, 1}), 7.0);
  responder_.Tick(20000);
  EXPECT_EQ(s.Get({ItemRef::Area::AI, 1}), 100.0);
}

TEST_F(ResponderTest, HistoryGrowsWhileTheSimulatorRuns) {
  Run("set 5 ai 1 50");
  Run("history 5 every 1s code 3");
  for (std::int64_t t = 0; t <= 3000; t += 100) responder_.Tick(t);
  Station& s = *responder_.Find(5);
  EXPECT_EQ(s.HistoryTop(), 3u);
  EXPECT_EQ(HexOf(Ask(Request(5, "51 4E F0 00 00 0A"), 3000).substr(14, 10)),
            "03 00 FB 46 73 2D 00 00 48 42");  // code 3, base + 1 s, 50.0f
  Run("history 5 capacity 6500");
  EXPECT_EQ(HexOf(Ask(Request(5, "51 71 00 00 01"))), HexOf(Answer(5, "51 71 00 00 00 00")));
}

TEST(Commands, BadLinesGetClearErrors) {
  Responder r(TwoStations(), {});
  const std::pair<const char*, const char*> cases[] = {
      {"set 99 bi 1 1", "no simulated station"},
      {"set 5 xx 1 1", "unknown item kind"},
      {"set 5 bi 97 1", "outside 1..96"},
      {"set 5 mi 3 1", "outside 1..2"},
      {"set 5 qq 1.1.9 1", "no QQ variable"},
      {"set 5 qq 1.2.1 7", "STRING"},
      {"set 5 ai 1 abc", "bad value"},
      {"fault 5 bogus", "unknown fault"},
      {"fault 5 error", "missing error code"},
      {"fault 5 silence times 0", "number of answers"},
      {"ramp 5 ai 1 from 0 to", "missing value"},
      {"ramp 5 ai 1 from 0 to 1 over 0s", "above 0"},
      {"toggle 5 bi 1 every soon", "bad period"},
      {"report 5 q", "h or x"},
      {"history 5 capacity 7", "50000 or 6500"},
      {"header 5 long", "y or short"},
      {"set 5 bi 1 1 extra", "unexpected 'extra'"},
      {"dance", "unknown command"},
      {"set 5 qq 1.2.1 \"open", "unterminated"},
      {"step 5 ai 6.7e88 at 1s to 1", "bad index"},
      {"set 5 bo -1e20 1", "bad index"},
      {"get 5 qq 1.1e40.1", "block.group.item"},
      {"unplug", "missing time off the line"},
      {"history 5 add -4", "record code must be a whole number 0..65535"},
      {"history 5 add 1 1e300", "does not fit a single"},
      {"history 5 every 1s code 70000", "record code must be"},
  };
  for (const auto& [line, message] : cases) {
    const CommandResult result = Execute(r, line, 0);
    EXPECT_FALSE(result.Ok) << line;
    EXPECT_NE(result.Text.find(message), std::string::npos) << line << " -> " << result.Text;
  }
}

TEST(Commands, ScenarioErrorNamesItsLine) {
  Responder r(TwoStations(), {});
  std::string error;
  EXPECT_TRUE(LoadScenario(r, "# start values\nset 5 bi 1 1\n\nheader 6 short\n", "a.scn", error)) << error;
  EXPECT_EQ(r.Find(6)->Header, AnswerHeader::Short);
  EXPECT_FALSE(LoadScenario(r, "set 5 bi 1 1\nset 5 bi x 1\n", "b.scn", error));
  EXPECT_EQ(error.rfind("b.scn:2: ", 0), 0u) << error;
}

TEST(Commands, ScriptLinesAreTimedAndSorted) {
  std::vector<ScriptLine> lines;
  std::string error;
  ASSERT_TRUE(ParseScript("1s fault 5 silence\n+500ms clear 5\n0.2 report 5 h now # soon\n\n", "s", lines, error))
      << error;
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0].AtMs, 200);
  EXPECT_EQ(lines[0].Command, "report 5 h now # soon");
  EXPECT_EQ(lines[1].AtMs, 1000);
  EXPECT_EQ(lines[2].AtMs, 1500);
  EXPECT_EQ(lines[2].Command, "clear 5");
  EXPECT_FALSE(ParseScript("soon fault 5 silence\n", "s", lines, error));
  EXPECT_EQ(error.rfind("s:1: ", 0), 0u) << error;
}

TEST(Commands, RealBeyondASingleIsKeptAsInfinite) {
  Responder r(TwoStations(), {});
  EXPECT_TRUE(Execute(r, "set 5 qq 1.1.1 1e300", 0).Ok);
  EXPECT_EQ(Execute(r, "get 5 qq 1.1.1", 0).Text, "inf");
  EXPECT_TRUE(Execute(r, "set 5 qq 1.1.1 -1e300", 0).Ok);
  EXPECT_EQ(Execute(r, "get 5 qq 1.1.1", 0).Text, "-inf");
}

}  // namespace
}  // namespace qz::sim::test
