// Log lines read back as traffic: hex dumps into frames, the receive
// step's lines into check-byte failures and foreign messages, event-list
// lines into time-outs and sleeps; a log read while it grows.

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "follow.h"
#include "log_lines.h"
#include "log_traffic.h"
#include "support/temp_dir.h"

namespace {

using namespace qz::readers;

TEST(LogLines, DateTimeLabelAndText) {
  struct Row {
    const char* Line;
    bool Parsed;
    const char* Iso;
    const char* Label;
    const char* Text;
  };
  for (const Row& row : {
           Row{"7.12.2026 3:04:05 PARfile ITEM : BAUD\r", true, "2026-12-07T03:04:05", "PARfile ITEM", "BAUD"},
           Row{"10.12.2026 13:56:55 Transmit Message : ", true, "2026-12-10T13:56:55", "Transmit Message", ""},
           Row{"2026-12-07 03:04:05 RTS ON : START", true, "2026-12-07T03:04:05", "RTS ON", "START"},
           Row{"07/12/2026 03:04:05 AddToMemo : a : b", true, "2026-12-07T03:04:05", "AddToMemo", "a : b"},
           Row{"10.12.2026 13:56:55 LoadStations :", true, "2026-12-10T13:56:55", "LoadStations", ""},
           Row{"10.12.2026 25:56:55 X : y", false, "", "", ""},
           Row{"garbage", false, "", "", ""},
           Row{"10.12.2026 13:56:55 no separator", false, "", "", ""},
       }) {
    const auto line = ParseLogLine(row.Line, 1);
    ASSERT_EQ(line.has_value(), row.Parsed) << row.Line;
    if (!line) continue;
    EXPECT_EQ(IsoText(line->Time), row.Iso);
    EXPECT_EQ(line->Label, row.Label);
    EXPECT_EQ(line->Text, row.Text);
  }
}

std::vector<TrafficEvent> Read(const std::string& log) {
  TrafficReader reader(nullptr);
  LineSplitter lines;
  lines.Feed(log);
  std::size_t n = 0;
  for (const std::string& text : lines.Take()) {
    if (auto line = ParseLogLine(text, ++n)) reader.Take(*line);
  }
  reader.Finish();
  return reader.Events();
}

std::string L(const char* time, const char* label, const char* text) {
  return std::string("10.12.2026 ") + time + " " + label + " : " + text + "\r\n";
}

// A request for BI of station 5 (typ 0) and its frame.
const std::string kRequest = L("13:00:00", "CodeMess", "STadr:005 typ:000") + L("13:00:00", "Transmit Message", "") +
                             L("13:00:00", "Hex Dump", "10 02 00 07 59 01 05 01 42 0F 16 10 03 ");

struct Expect {
  TrafficKind Kind;
  int Station;
};

struct Case {
  const char* Name;
  std::string Log;
  std::vector<Expect> Events;
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.Name; }

class Traffic : public ::testing::TestWithParam<Case> {};

TEST_P(Traffic, EventsOfTheLog) {
  const auto events = Read(GetParam().Log);
  ASSERT_EQ(events.size(), GetParam().Events.size());
  for (std::size_t i = 0; i < events.size(); ++i) {
    EXPECT_EQ(events[i].Kind, GetParam().Events[i].Kind) << i << " " << TrafficKindName(events[i].Kind);
    EXPECT_EQ(events[i].Station, GetParam().Events[i].Station) << i;
  }
}

const std::string kAnswerHead = L("13:00:01", "ReceiveDATA", "Prefix") + L("13:00:01", "ReceiveDATA", "Message");

INSTANTIATE_TEST_SUITE_P(
    Logs, Traffic,
    ::testing::Values(
        Case{"AnswerOverTwoDumpLines",
             kRequest + kAnswerHead + L("13:00:01", "ReceiveDATA", "XOR OK") + L("13:00:01", "ReceiveDATA", "SaveIt") +
                 L("13:00:01", "Decode Received Message", "") +
                 L("13:00:01", "Hex Dump", "01 15 59 00 01 05 4E 00 02 0C 00 00 00 00 00 00 ") +
                 L("13:00:01", "Hex Dump", "00 00 00 00 00 00 07 ") + L("13:00:01", "ExtractDATA", "DecodeMess = 1"),
             {{TrafficKind::Sent, 5}, {TrafficKind::Received, 5}}},
        Case{"BadCheckIsTheAwaitedStations",
             kRequest + kAnswerHead + L("13:00:01", "prstynek", "transmit now"),
             {{TrafficKind::Sent, 5}, {TrafficKind::BadCheck, 5}}},
        Case{"BadCheckAtTheEndOfTheLog", kRequest + kAnswerHead, {{TrafficKind::Sent, 5}, {TrafficKind::BadCheck, 5}}},
        Case{"ForeignMaster",
             kRequest + kAnswerHead + L("13:00:01", "ReceiveDATA", "XOR OK") + L("13:00:01", "TRANSMIT", "END"),
             {{TrafficKind::Sent, 5}, {TrafficKind::ForeignMaster, -1}}},
        Case{"UnknownStation", L("13:00:01", "ExtractDATA", "DecodeMess = 0"), {{TrafficKind::UnknownStation, -1}}},
        Case{"TimeoutAndSleepWithoutNames",
             kRequest + L("13:00:02", "AddToMemo", "Pump - p\xF8" "ekro\xE8" "en\xED \xE8" "asu (10.12.2026 13:00:02)") +
                 L("13:00:02", "AddToMemo", "Pump - start m\xF3" "du \"sleep\""),
             {{TrafficKind::Sent, 5}, {TrafficKind::Timeout, 5}, {TrafficKind::SleepStart, -1}}},
        Case{"EveryStationAsleepOnce",
             L("13:00:02", "prstynek", "all stations sleep -> do nothing") +
                 L("13:00:02", "prstynek", "all stations sleep -> do nothing") +
                 L("13:00:12", "AddToMemo", "Konec \xFApln\xE9ho m\xF3" "du \"sleep\""),
             {{TrafficKind::AllAsleep, -1}, {TrafficKind::AllAsleepEnd, -1}}},
        Case{"Acknowledgement",
             L("13:00:01", "SEND", "") + L("13:00:01", "Hex Dump", "10 02 00 06 79 00 05 00 48 32 10 03 "),
             {{TrafficKind::Acknowledged, 5}}}),
    [](const auto& param) { return param.param.Name; });

TEST(Traffic, AnswerTimeAndRequestOfTheAnswer) {
  const auto events = Read(kRequest + L("13:00:03", "Decode Received Message", "") +
                           L("13:00:03", "Hex Dump", "01 08 59 00 01 05 42 01 00 19 "));
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0].RequestKind, 0);
  EXPECT_EQ(events[0].Item, "mask 0F");
  EXPECT_EQ(events[1].RequestKind, 0);
  ASSERT_TRUE(events[1].AnswerSeconds);
  EXPECT_EQ(*events[1].AnswerSeconds, 3);
  EXPECT_EQ(events[1].Bytes, std::string("\x01\x08\x59\x00\x01\x05\x42\x01\x00\x19", 10));
}

TEST(Traffic, SummaryPerStation) {
  const auto events = Read(kRequest + L("13:00:01", "Decode Received Message", "") +
                           L("13:00:01", "Hex Dump", "01 08 59 00 01 05 42 01 00 19 ") + kRequest +
                           L("13:00:02", "AddToMemo", "Pump - p\xF8" "ekro\xE8" "en\xED \xE8" "asu (x)"));
  const auto summary = SummariseTraffic(events);
  const StationTraffic& s = summary.at(5);
  EXPECT_EQ(s.Requests, 2u);
  EXPECT_EQ(s.Answers, 1u);
  EXPECT_EQ(s.Timeouts, 1u);
  EXPECT_EQ(s.Timed, 1u);
  EXPECT_EQ(s.AnswerMax, 1);
}

TEST(LogFollower, TakesCompleteLinesAsTheyAreAppendedAndStartsOverOnANewFile) {
  const ::qz::testing::TempDir dir;
  const std::string path = dir.file("drv.log");
  LogFollower follower(path);
  EXPECT_TRUE(follower.Poll().empty()) << "no file yet";
  ::qz::testing::WriteFile(path, "10.12.2026 13:00:00 A : 1\r\n10.12.2026 13:00:00 B : ");
  EXPECT_EQ(follower.Poll(), std::vector<std::string>{"10.12.2026 13:00:00 A : 1"});
  {
    std::ofstream out(path, std::ios::binary | std::ios::app);
    out << "2\r\n";
  }
  EXPECT_EQ(follower.Poll(), std::vector<std::string>{"10.12.2026 13:00:00 B : 2"}) << "the rest of the line";
  EXPECT_TRUE(follower.Poll().empty());
  ::qz::testing::WriteFile(path, "10.12.2026 14:00:00 C : 3\r\n");
  EXPECT_EQ(follower.Poll(), std::vector<std::string>{"10.12.2026 14:00:00 C : 3"}) << "removed and begun again";
}

}  // namespace
