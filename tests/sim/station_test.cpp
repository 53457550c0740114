// Every request kind, written by hand as it leaves the control centre, gets
// the answer frame the driver's decoder accepts.

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "sim_fixture.h"

namespace qz::sim::test {
namespace {

class StationAnswers : public ResponderFixture {
 protected:
  void SetUp() override {
    for (const char* c : {"set 5 bi 1 1", "set 5 bi 9 1", "set 5 bi 16 1", "set 5 ai 1 50", "set 5 ai 2 2.5",
                          "set 5 ct 1 1000", "set 5 ct 9 0x1234", "set 5 mi 1 -2.5", "set 5 mi 2 513",
                          "set 5 qq 1.1.1 1.5", "set 5 qq 1.1.2 1234", "set 5 qq 1.2.1 \"ABCDEFGHIJKL\"",
                          "set 5 blk 1.1 0x0102", "set 5 blk 1.2 1"}) {
      Run(c);
    }
  }
};

struct Case {
  const char* name;
  int station;
  const char* request;  // body of a direct request
  const char* answer;   // body of the Y answer
};

TEST_F(StationAnswers, EveryRequestKindGetsItsAnswer) {
  const Case cases[] = {
      {"binary inputs, two groups", 5, "42 03", "42 03 01 81"},
      {"binary inputs, mask 0 gives twelve groups", 5, "42 00", "42 00 01 81 00 00 00 00 00 00 00 00 00 00"},
      {"analog raw words, 12-bit scale", 5, "41 01", "41 01 88 00 84 00 80 00 80 00 80 00 80 00 80 00 80 00"},
      {"counters, two groups", 5, "43 03",
       "43 03 03 E8 00 00 00 00 00 00 00 00 00 00 00 00 00 00 12 34 00 00 00 00 00 00 00 00 00 00 00 00 00 00"},
      {"analog block from memory", 5, "4E 00 01 06", "4E 00 01 06 45 90 00 41 40 00"},
      {"memory inputs as one block", 5, "4E 00 03 05", "4E 00 03 05 C1 40 00 01 02"},
      {"memory block", 5, "4E 00 05 05", "4E 00 05 05 02 01 40 00 00"},
      {"memory outputs", 5, "4B FF", "4B FF 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00"},
      {"QQ read, values and a text part", 5, "51 71 01 01 01 01 01 02 01 02 03",
       "51 71 00 00 C0 3F D2 04 00 00 49 4A 4B 4C"},
      {"QQ read, unknown variable", 5, "51 71 09 09 09", "51 71 BE BE BE BE"},
      {"QQ read, history positions", 5, "51 71 00 00 01 BA 01 0D BA 01 0E BA 01 05",
       "51 71 01 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00"},
      {"empty request", 5, "", ""},
      {"unknown code", 5, "5A 01", "45 06"},
      {"short request", 5, "4E 00", "45 06"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(HexOf(Ask(Request(c.station, c.request))), HexOf(Answer(c.station, c.answer)));
  }
}

TEST_F(StationAnswers, WritesLandInTheStationAndAreEchoed) {
  // Binary outputs 2, 4, 6, 8 and 9.
  EXPECT_EQ(HexOf(Ask(Request(5, "62 03 AA 01"))), HexOf(Answer(5, "62 03 AA 01")));
  Station& s = *responder_.Find(5);
  for (int i : {1, 2, 3, 8, 9, 10}) {
    ItemRef bo{ItemRef::Area::BO, i};
    EXPECT_EQ(s.Get(bo), (i % 2 == 0 && i <= 8) || i == 9 ? 1.0 : 0.0) << i;
  }
  // Memory output 1 (REAL at 0400h) by "n"; then both by "k"; "K" reads them back.
  EXPECT_EQ(HexOf(Ask(Request(5, "6E 00 04 03 40 00 00"))), HexOf(Answer(5, "6E 00 04 03 40 00 00")));
  EXPECT_EQ(s.Get({ItemRef::Area::MO, 1}), 1.0);
  EXPECT_EQ(HexOf(Ask(Request(5, "6B 03 41 00 00 47 FE 00"))), HexOf(Answer(5, "6B 03 41 00 00 47 FE 00")));
  EXPECT_EQ(s.Get({ItemRef::Area::MO, 2}), 255.0);
  EXPECT_EQ(HexOf(Ask(Request(5, "4B 03"))), HexOf(Answer(5, "4B 03 41 00 00 47 FE 00")));
  // A QQ write of a known variable and of an unknown one.
  EXPECT_EQ(HexOf(Ask(Request(5, "51 51 01 01 02 39 30 00 00"))), HexOf(Answer(5, "51 51 01 01 02 39 30 00 00")));
  EXPECT_EQ(HexOf(Ask(Request(5, "51 71 01 01 02"))), HexOf(Answer(5, "51 71 39 30 00 00")));
  EXPECT_EQ(HexOf(Ask(Request(5, "51 51 07 07 07 01 00 00 00"))), HexOf(Answer(5, "51 58 07 07 07 01 00 00 00")));
  // The user position written after a history read-out.
  Ask(Request(5, "51 51 BA 01 06 64 00 00 00"));
  EXPECT_EQ(s.UserPos(2), 100u);
}

TEST_F(StationAnswers, ReadAndZeroClearsTheCounters) {
  EXPECT_EQ(HexOf(Ask(Request(5, "43 81"))), HexOf(Answer(5, "43 81")));
  EXPECT_EQ(HexOf(Ask(Request(5, "43 01"))),
            HexOf(Answer(5, "43 01 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00")));
  // Group 1 was not cleared.
  EXPECT_EQ(responder_.Find(5)->Get({ItemRef::Area::CT, 9}), 0x1234);
}

TEST_F(StationAnswers, DialledRequestIsAnsweredInTheYForm) {
  // Station 6 has PHONE D123: header address, length, "t", 3, "123".
  const std::string request = FrameOf("06 00 74 03 31 32 33", "42 01");
  EXPECT_EQ(HexOf(Ask(request)), HexOf(Answer(6, "42 01 00", 3)));
}

TEST_F(StationAnswers, HistoryRingIsReadByMemoryBank) {
  Run("history 5 add 7 2.5");
  Run("history 5 add 8 -1", 3000);
  const std::string answer = Ask(Request(5, "51 4E F0 00 00 14"));
  // code 7, time 762529530 = 2D7346FA, 2.5f = 40200000; then code 8 at +3 s, -1.0f.
  const char* data = "07 00 FA 46 73 2D 00 00 20 40 08 00 FD 46 73 2D 00 00 80 BF";
  std::uint8_t x = 0;
  for (char c : Bytes(data)) x ^= static_cast<std::uint8_t>(c);
  char closing[4];
  std::snprintf(closing, sizeof closing, "%02X", x);
  EXPECT_EQ(HexOf(answer), HexOf(Answer(5, std::string("51 4E F0 00 00 14 ") + data + " " + closing)));
  // Positions follow the ring: top 2, two records written.
  EXPECT_EQ(HexOf(Ask(Request(5, "51 71 BA 01 0D BA 01 0E"))), HexOf(Answer(5, "51 71 02 00 00 00 02 00 00 00")));
}

TEST_F(StationAnswers, SampleBlockHoldsSixRecordsWithBcdTimes) {
  // Kind 72 (minute samples), block 87: samples 523..528, 528 the newest.
  const std::string answer = Ask(Request(5, "51 4E 48 36 BF BA"));
  ASSERT_EQ(answer.size(), 2u + 6 + 6 + 186 + 1 + 1 + 2);
  EXPECT_EQ(HexOf(answer.substr(0, 14)), "10 02 01 C6 59 00 01 05 51 4E 48 36 BF BA");
  const std::string data = answer.substr(14, 186);
  // Record 1 of the block is sample 523, five minutes before 13:45:00.
  EXPECT_EQ(HexOf(data.substr(0, 7)), "24 02 29 13 40 00 00");
  EXPECT_EQ(HexOf(data.substr(7, 6)), "45 90 00 41 40 00");  // analog inputs 1 and 2
  EXPECT_EQ(HexOf(data.substr(5 * 31, 6)), "24 02 29 13 45 00");
  // A sample address off the 186-byte grid is refused.
  EXPECT_EQ(HexOf(Ask(Request(5, "51 4E 48 01 80 BA"))), HexOf(Answer(5, "45 06")));
}

}  // namespace
}  // namespace qz::sim::test

namespace qz::sim::test {
namespace {

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The example line of five stations with its scenario, as a commissioning
// engineer starts it.
TEST(DemoLine, ExampleStationsAnswerHandWrittenRequests) {
  SimSetup setup;
  std::string error;
  ASSERT_TRUE(LoadSetupFile(std::string(QZ_SOURCE_DIR) + "/examples/demo.par", setup, error)) << error;
  ASSERT_EQ(setup.Stations.size(), 5u);
  ResponderOptions options;
  options.WallBase = kWallBase;
  Responder r(setup, options);
  ASSERT_TRUE(LoadScenario(r, ReadText(std::string(QZ_SOURCE_DIR) + "/examples/demo.scn"), "demo.scn", error)) << error;
  auto ask = [&](const std::string& frame) {
    auto out = r.Receive(frame, 0);
    return out.empty() ? std::string() : HexOf(out.front().Bytes);
  };
  // Station 10, 32 binary inputs: inputs 1 and 2 on.
  EXPECT_EQ(ask(Request(10, "42 0F")), HexOf(Answer(10, "42 0F 03 00 00 00")));
  // Station 11, analog block at 0200h: 2.35 = 41 2C CC, 1.0 = 40 00 00.
  EXPECT_EQ(ask(Request(11, "4E 00 02 06")), HexOf(Answer(11, "4E 00 02 06 41 2C CC 40 00 00")));
  // Station 12 answers in the short header form: counter 3 holds 500.
  EXPECT_EQ(ask(Request(12, "43 00")), HexOf(FrameOf("0C 00", "43 00")));
  EXPECT_EQ(ask(Request(12, "43 01")),
            HexOf(FrameOf("0C 00", "43 01 00 00 00 00 01 F4 00 00 00 00 00 00 00 00 00 00")));
  // Station 13, memory inputs as one block of REALs at 0300h: 0.42, 1200, 3.
  EXPECT_EQ(ask(Request(13, "4E 00 03 09")), HexOf(Answer(13, "4E 00 03 09 3E AE 14 4A 2C 00 41 80 00")));
  // Station 14 behind the modem (PHONE D0601234567): dialled request, QQ read.
  EXPECT_EQ(ask(FrameOf("0E 00 74 0A 30 36 30 31 32 33 34 35 36 37", "51 71 01 01 02")),
            HexOf(Answer(14, "51 71 2A 00 00 00")));
}

}  // namespace
}  // namespace qz::sim::test
