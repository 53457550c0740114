// Which received message answers the request on the line, and the code
// lengths that the pairing shares with the decoder.

#include "protocol/answer_pairing.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/answer_handling.h"
#include "host/driver_state.h"
#include "protocol/framing.h"
#include "protocol/request_encoding.h"
#include "protocol_fixture.h"

namespace qz {
namespace {

using testing::Hex;

class Pairing : public testing::ProtocolFixture {
 protected:
  Pairing() {
    state.Config.MasterAddress = 1;
    state.Config.Prefix = Hex("10 02");
    state.Config.Suffix = Hex("10 03");
    state.Config.PreSuffix = Hex("AA");
    StationRecord& direct = AddStation(5);
    direct.NumBinarIn = 8;
    direct.NumAnalogIn = 2;
    direct.DefAnalogInAddr = 0x0100;
    direct.NumCounterIn = 8;
    direct.NumBinarOut = 8;
    direct.NumMemoryOut = 1;
    direct.MemoryOut[1].Address = 0x0400;
    direct.MemoryOut[1].Type = MemoryType::Real;
    StationRecord& relayed = AddStation(6);
    relayed.Retranslation = 9;
    relayed.NumBinarIn = 8;
    StationRecord& dialled = AddStation(7);
    dialled.Phone = "123";
    dialled.NumBinarIn = 8;
  }

  AnswerKey KeyOf(std::uint8_t station, std::uint32_t kind, std::uint16_t item = 1, std::string data = {}) {
    Request r;
    r.Station = station;
    r.Kind = static_cast<RequestKind>(kind);
    r.Item = item;
    r.Data = data;
    return ExpectedAnswer(state.Config, CodeMess(state.Config, state.Log, r).view());
  }

  // A received message of the Y form (with the relay in byte 4) or the
  // short form, with its trailer and check byte.
  static std::string Y(std::uint8_t sender, const std::string& body, std::uint8_t relay = 0) {
    std::string m = std::string{1, 0, 'Y', static_cast<char>(relay), 1, static_cast<char>(sender)} + body + "\xAA";
    m[1] = static_cast<char>(m.size() - 1);
    return m + static_cast<char>(CheckByte(m));
  }
  static std::string Short(std::uint8_t sender, const std::string& body) {
    std::string m = std::string{static_cast<char>(sender), 0} + body + "\xAA";
    m[1] = static_cast<char>(m.size() - 1);
    return m + static_cast<char>(CheckByte(m));
  }
};

struct PairCase {
  const char* what;
  std::uint8_t station;  // 1 direct (address 5), 2 relayed (6 via 9), 3 dialled (7)
  std::uint32_t kind;
  std::string data;
  std::string answer;    // the received message
  bool answers;
};

TEST_F(Pairing, AnAnswerCarriesTheCodesOfItsRequestAndComesFromTheStationAsked) {
  const std::string qqWrite = Hex("01 02 09 65 00 00 00");
  const std::string qqRead = Hex("01 02 09");
  const PairCase cases[] = {
      {"binary inputs", 1, 0, {}, Y(5, Hex("42 01 05")), true},
      {"binary inputs of another station", 1, 0, {}, Y(6, Hex("42 01 05")), false},
      {"binary inputs for an analog read", 1, 1, {}, Y(5, Hex("42 01 05")), false},
      {"memory read of the analog inputs", 1, 1, {}, Y(5, Hex("4E 00 01 03 40 00 00")), true},
      {"memory read of another address", 1, 1, {}, Y(5, Hex("4E 00 02 03 40 00 00")), false},
      {"counters for counters", 1, 2, {}, Y(5, Hex("43 01") + std::string(16, '\0')), true},
      {"plain counters for read-and-zero", 1, 3, {}, Y(5, Hex("43 01") + std::string(16, '\0')), false},
      {"read-and-zero answer", 1, 3, {}, Y(5, Hex("43 81")), true},
      {"output echo", 1, 4, {}, Y(5, Hex("62 01 00")), true},
      {"binary inputs for an output write", 1, 4, {}, Y(5, Hex("42 01 05")), false},
      {"memory write acknowledged", 1, 5, {}, Y(5, Hex("6E 00 04 03 40 00 00")), true},
      {"memory write at another address", 1, 5, {}, Y(5, Hex("6E 03 04 03 40 00 00")), false},
      {"QQ write", 1, 15, qqWrite, Y(5, "QQ" + qqWrite), true},
      {"QQ write of an unknown variable", 1, 15, qqWrite, Y(5, "QX" + qqWrite), true},
      {"QQ read answer for a QQ write", 1, 15, qqWrite, Y(5, "Qq" + Hex("65 00 00 00")), false},
      {"QQ read", 1, 16, qqRead, Y(5, "Qq" + Hex("65 00 00 00")), true},
      {"sample block of its kind and address", 1, 72, {}, Y(5, "QN" + Hex("48 00 80 01 00 00")), true},
      {"sample block of another address", 1, 72, {}, Y(5, "QN" + Hex("48 BA 80 01 00 00")), false},
      {"an error answers any request", 1, 1, {}, Y(5, Hex("45 06")), true},
      {"a report alone answers nothing", 1, 0, {}, Y(5, "H"), false},
      {"a report in front of the answer", 1, 0, {}, Y(5, "H" + Hex("42 01 05")), true},
      {"an empty request takes any answer", 1, 11, {}, Y(5, "L\x01"), true},
      {"short form", 1, 0, {}, Short(5, Hex("42 01 05")), true},
      {"relayed station, by its own address", 2, 0, {}, Y(6, Hex("42 01 05"), 9), true},
      {"relayed request, answer of the relay", 2, 0, {}, Y(9, Hex("42 01 05"), 9), false},
      {"dialled station", 3, 0, {}, Y(7, Hex("42 01 05")), true},
      {"dialled station, short form", 3, 0, {}, Short(7, Hex("42 01 05")), true},
      {"dialled request, another station", 3, 0, {}, Short(5, Hex("42 01 05")), false},
  };
  for (const PairCase& c : cases) {
    SCOPED_TRACE(c.what);
    const std::uint16_t item = c.kind == 72 ? 0x8000 : 1;  // the first sample block
    EXPECT_EQ(AnswersRequest(c.answer, KeyOf(c.station, c.kind, item, c.data)), c.answers);
  }
}

TEST_F(Pairing, TheKeyIsReadFromTheFrameAsSent) {
  const AnswerKey dialled = KeyOf(3, 0);
  EXPECT_TRUE(dialled.Known);
  EXPECT_EQ(dialled.Station, 7);
  EXPECT_EQ(dialled.Code, 'B');
  const AnswerKey relayed = KeyOf(2, 0);
  EXPECT_EQ(relayed.Station, 6) << "the station's address, not the relay's";
  const AnswerKey empty = KeyOf(1, 11);
  EXPECT_TRUE(empty.Known);
  EXPECT_EQ(empty.Code, 0) << "the trailer is not a body";
  EXPECT_FALSE(ExpectedAnswer(state.Config, "").Known);
  EXPECT_FALSE(AnswersRequest(Y(5, Hex("42 01 05")), ExpectedAnswer(state.Config, "")));
}

// The pairing walks the codes with the decoder's lengths: a report code
// behind each code is found by both, at the same place.
TEST_F(Pairing, CodeLengthsAreTheDecodersOwn) {
  const std::string bodies[] = {
      Hex("41 01") + std::string(16, '\x01'),  // A, one group
      Hex("42 00") + std::string(12, '\x01'),  // B, twelve groups
      Hex("42 03 48 48"),                      // B, two groups (data that looks like H)
      Hex("62 01 48"),                         // b
      Hex("43 03") + std::string(32, '\x01'),  // C, two groups
      Hex("43 83"),                            // C, read and zero: no data
      Hex("45 48"),                            // E
      Hex("4B 05 01 02 03 04 05 06"),          // K
      Hex("6B 01 01 02 03"),                   // k
      Hex("4C 48"), Hex("52 48"),              // L, R
      Hex("4E 00 09 02 48 48"),                // N
      Hex("6E 00 09 01 48"),                   // n
      "Q!0", "QH1" + Hex("01 02 03 04 05"), "QH0",
      "QN" + Hex("F0 00 00 02 48 48 48"),      // QN: count 2, then the closing byte
      "Qz",                                    // an unknown Q code is skipped
      "X",
  };
  state.Config.Station(1).NumMemoryIn = 0;
  for (const std::string& body : bodies) {
    SCOPED_TRACE(testing::HexOf(body));
    const std::string m = Y(5, body + "H");
    state.Engine.AckPending = 0;
    ASSERT_EQ(DecodeAnswer(state, m, ""), 1);
    EXPECT_EQ(state.Engine.AckPending, 1) << "the decoder reached the H";
    EXPECT_TRUE(CarriesReport(m));
    std::vector<std::size_t> reports;
    ForEachAnswerCode(m, [&](std::size_t p, std::uint8_t code) {
      if (code == 'H') reports.push_back(p);
    });
    EXPECT_EQ(reports, std::vector<std::size_t>{m.size() - 2}) << "only the H in front of the trailer";
  }
  EXPECT_FALSE(CarriesReport(Y(5, "QQ" + Hex("01 02 09 48 00 00 00"))))
      << "a QQ answer takes the rest of the message";
}

// A late answer is decoded for its reports and status but stores no values.
TEST_F(Pairing, LateAnswerStoresNoValues) {
  StationRecord& st = state.Config.Station(1);
  st.BinarInValue[1] = 1;
  st.AnalogInValue[1] = 7.0;
  const std::string m = Y(5, Hex("42 01 00") + Hex("4E 00 01 03 40 00 00") + Hex("45 02") + "H");
  ASSERT_EQ(DecodeAnswer(state, m, "", AnswerValues::Skip), 1);
  EXPECT_EQ(st.BinarInValue[1], 1);
  EXPECT_EQ(st.AnalogInValue[1].value(), 7.0);
  EXPECT_EQ(st.Flags.bi_new_BI, 0);
  EXPECT_EQ(st.ErrorAnswerCount, 1) << "the error answer still counts";
  EXPECT_EQ(state.Engine.AckPending, 1) << "the report is still acknowledged";
  ASSERT_EQ(DecodeAnswer(state, m, "", AnswerValues::Store), 1);
  EXPECT_EQ(st.BinarInValue[1], 0);
  EXPECT_EQ(st.AnalogInValue[1].value(), 1.0);
}

}  // namespace
}  // namespace qz
