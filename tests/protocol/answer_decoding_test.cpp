#include "protocol/answer_decoding.h"

#include <gtest/gtest.h>

#include "diag/texts.h"
#include "host/answer_handling.h"
#include "host/driver_state.h"
#include "protocol/codecs.h"
#include "protocol/framing.h"
#include "protocol_fixture.h"

namespace qz {
namespace {

using testing::Hex;
using testing::HexOf;

class DecodeTest : public testing::ProtocolFixture {
 protected:
  DecodeTest() : st(AddStation(5)) { state.Config.MasterAddress = 1; }

  // A received message of the Y form from the station, with its check byte.
  std::string FromStation(const std::string& body, std::uint8_t sender = 5) {
    std::string m = std::string{1, 0, 'Y', 0, 0, static_cast<char>(sender)} + body;
    m[1] = static_cast<char>(m.size() - 1);
    m.push_back(static_cast<char>(CheckByte(m)));
    return m;
  }
  // Without the Y header: byte 1 is the sender, byte 3 the first code.
  static std::string Plain(const std::string& body, std::uint8_t sender = 5) {
    std::string m = std::string{static_cast<char>(sender), 0} + body;
    m[1] = static_cast<char>(m.size() - 1);
    m.push_back(static_cast<char>(CheckByte(m)));
    return m;
  }
  int Decode(const std::string& m) { return DecodeAnswer(state, m, ""); }
  std::string Event() const { return state.Engine.PendingEventText.str().substr(60); }

  StationRecord& st;
};

TEST_F(DecodeTest, AddressingAndStationLookup) {
  std::string foreign = FromStation("H");
  foreign[0] = 2;
  EXPECT_EQ(Decode(foreign), 0);
  EXPECT_EQ(Decode(FromStation("H", 9)), 0);
  EXPECT_EQ(Decode(Plain("H", 9)), 0);
  EXPECT_TRUE(state.Engine.PendingEventText.empty());
  EXPECT_EQ(Decode(Plain("L\x00", 5)), 1);
  EXPECT_EQ(state.Engine.PendingEventText.str(), std::string(60, ' ') + "<<<-- NAME_1 - ");
}

TEST_F(DecodeTest, GoodAnswerResetsTheStationStatus) {
  st.SilenceSeconds = 12.0;
  st.SleepTimer = 30.0;
  st.TimeoutRun = 4;
  st.Flags.in_last_com_err = 1;
  ASSERT_EQ(Decode(FromStation("")), 1);
  EXPECT_EQ(double(st.SilenceSeconds), 0.0);
  EXPECT_EQ(double(st.SleepTimer), 0.0);
  EXPECT_EQ(st.TimeoutRun, 0);
  EXPECT_EQ(st.Flags.in_last_com_err, 0);
}

TEST_F(DecodeTest, BinaryInputsByMaskAndAllTwelveGroups) {
  st.BinarInValue[2] = 1;
  ASSERT_EQ(Decode(FromStation(Hex("42 03 81 01"))), 1);
  for (int i = 1; i <= 16; ++i)
    EXPECT_EQ(st.BinarInValue[static_cast<std::size_t>(i)], (i == 1 || i == 8 || i == 9) ? 1 : 0) << i;
  EXPECT_EQ(st.Flags.bi_new_BI, 1);
  EXPECT_EQ(Event(), "<<<-- NAME_1 - BI ");
  ASSERT_EQ(Decode(FromStation(Hex("42 00 00 00 00 00 00 00 00 00 00 00 00 80"))), 1);
  EXPECT_EQ(st.BinarInValue[96], 1);
  EXPECT_EQ(st.BinarInValue[1], 0);
  st.BinarInValue[1] = 0;
  ASSERT_EQ(Decode(FromStation(Hex("62 01 FF 42 01 01"))), 1);  // echo stores nothing
  EXPECT_EQ(Event(), "<<<-- NAME_1 - BO BI ");
  EXPECT_EQ(st.BinarInValue[2], 0);
}

TEST_F(DecodeTest, AnalogRawWordsUseTheFullScaleAndLimits) {
  std::string body = Hex("41 01 80 FF");
  body += std::string(14, '\0');
  st.AnalogLimits[1].Low = 0.0;
  st.AnalogLimits[1].High = 100.0;
  st.AnalogLimits[2].Third = -5.0;
  ASSERT_EQ(Decode(FromStation(body)), 1);
  EXPECT_NEAR(st.AnalogInValue[1], 100.0 * 255 / 4095, 1e-9);
  EXPECT_NEAR(st.AnalogInValue[1], 6.2271, 1e-4);
  EXPECT_EQ(st.AnalogLimits[1].Work, 255);
  EXPECT_EQ(double(st.AnalogInValue[2]), 0.0);  // 0 - 5 is limited to 0
  EXPECT_EQ(st.Flags.bi_new_AI, 1);
  EXPECT_EQ(Event(), "<<<-- NAME_1 - AImorven ");
}

TEST_F(DecodeTest, CountersPlainAndReadAndZero) {
  std::string body = Hex("43 01 00 0A");
  body += std::string(14, '\0');
  st.Counters[1].Factor = 0.5;
  st.Counters[1].Period = CounterPeriod::Hour;
  st.Counters[1].PrevValue = 1.0;
  ASSERT_EQ(Decode(FromStation(body)), 1);
  EXPECT_EQ(double(st.Counters[1].Value), 10.0);
  EXPECT_EQ(double(st.Counters[1].PrevValue), 1.0);  // no phone: not committed yet
  ASSERT_EQ(Decode(FromStation(Hex("43 81"))), 1);
  EXPECT_EQ(double(st.Counters[1].PrevValue), 6.0);
  EXPECT_EQ(double(st.Counters[1].Value), 0.0);
  EXPECT_EQ(st.Flags.bi_new_CT, 1);
  EXPECT_EQ(Event(), "<<<-- NAME_1 - CTC/nulov\xE1n\xED ");
  // REAL period keeps the raw count and replaces PrevValue.
  st.Counters[9].Period = CounterPeriod::Real;
  st.Counters[9].Value = 4.0;
  ASSERT_EQ(Decode(FromStation(Hex("43 82"))), 1);
  EXPECT_EQ(double(st.Counters[9].PrevValue), 4.0);
  EXPECT_EQ(double(st.Counters[9].Value), 4.0);
}

TEST_F(DecodeTest, ErrorAnswersCountAndNameTheError) {
  ASSERT_EQ(Decode(FromStation(Hex("45 07"))), 1);
  EXPECT_EQ(Event(), std::string("<<<-- NAME_1 - chyba \xE8.7 (") + std::string(text::kErrorText7) + ") ");
  EXPECT_EQ(st.ErrorAnswerCount, 1);
  EXPECT_EQ(st.ErrorRun, 1);
  EXPECT_EQ(st.Flags.in_last_com_err, 1);
  ASSERT_EQ(Decode(FromStation(Hex("45 C8"))), 1);
  EXPECT_EQ(Event(), "<<<-- NAME_1 - chyba \xE8.200 () ");
  EXPECT_EQ(ErrorText(8), text::kErrorText8);
}

TEST_F(DecodeTest, ReportsAreAcknowledged) {
  state.Engine.AckPending = 1;
  ASSERT_EQ(Decode(FromStation(Hex("4C 00"))), 1);
  EXPECT_EQ(state.Engine.AckPending, 0);
  const std::string report = FromStation("H");
  ASSERT_EQ(Decode(report), 1);
  EXPECT_EQ(st.Flags.in_active_message, 1);
  EXPECT_EQ(st.Flags.in_connected_modem, 1);
  ASSERT_EQ(state.Engine.AckPending, 1);
  EXPECT_EQ(state.Engine.AckText.byte(2), 'y');
  EXPECT_EQ(state.Engine.AckText.str(), AcknowledgementFrame(state.Config, report).str());
  const std::string plain = Plain("X");
  ASSERT_EQ(Decode(plain), 1);
  EXPECT_EQ(st.Flags.bi_new_err_control, 1);
  EXPECT_EQ(state.Engine.AckText.str(), plain);
  EXPECT_EQ(Event(), "<<<-- NAME_1 - chyba \xF8\xEDzen\xED ");
}

TEST_F(DecodeTest, MemoryOutputValues) {
  ASSERT_EQ(Decode(FromStation(Hex("4B 05 40 00 00 41 00 00"))), 1);
  EXPECT_EQ(double(st.MemoryOut[1].Value), 1.0);
  EXPECT_EQ(double(st.MemoryOut[3].Value), 2.0);
  EXPECT_EQ(st.Flags.bi_new_MI, 1);
  ASSERT_EQ(Decode(FromStation(Hex("6B 01 41 80 00 4C 00"))), 1);
  EXPECT_EQ(double(st.MemoryOut[1].Value), 1.0);
  EXPECT_EQ(Event(), "<<<-- NAME_1 - KO ");
}

TEST_F(DecodeTest, MemoryReadAnswerChecks) {
  st.DefAnalogInAddr = 0x1000;
  ASSERT_EQ(Decode(FromStation(Hex("4E 00 10 06 40 00 00 41 00 00"))), 1);
  EXPECT_EQ(double(st.AnalogInValue[1]), 1.0);
  EXPECT_EQ(double(st.AnalogInValue[2]), 2.0);
  EXPECT_EQ(Event(), "<<<-- NAME_1 - AI ");

  st.NumMemoryIn = 2;
  st.MemoryIn[1].Address = 0x0200;
  st.MemoryIn[1].Type = MemoryType::Word;
  st.MemoryIn[2].Address = 0x0300;
  st.MemoryIn[2].Type = MemoryType::Real;
  ASSERT_EQ(Decode(FromStation(Hex("4E 00 02 02 D2 04"))), 1);
  EXPECT_EQ(double(st.MemoryIn[1].Value), 1234.0);
  EXPECT_EQ(Event(), "<<<-- NAME_1 - MI1 ");

  st.MemoryInArray = 1;
  ASSERT_EQ(Decode(FromStation(Hex("4E 00 02 06 41 80 00 C0 00 00"))), 1);
  EXPECT_EQ(double(st.MemoryIn[1].Value), 3.0);
  EXPECT_EQ(double(st.MemoryIn[2].Value), -1.0);
  EXPECT_EQ(Event(), "<<<-- NAME_1 - MI/block");

  MemoryBlock block;
  block.Addr = 0x2000;
  block.Types = Hex("01 02 04");
  AppendMemoryBlock(st, block);
  ASSERT_EQ(Decode(FromStation(Hex("4E 00 20 05 11 22 33 44 55"))), 1);
  const MemoryBlock& b = *st.MemoryBlocks;
  EXPECT_EQ(b.Items[1].Value, 0x11);
  EXPECT_EQ(b.Items[2].Value, 0x3322);
  EXPECT_EQ(b.Items[3].Value, 4);  // two bytes left for a four-byte item: not stored
  EXPECT_EQ(Event(), "<<<-- NAME_1 - MB(2000) ");

  ASSERT_EQ(Decode(FromStation(Hex("6E 34 12 01 FF"))), 1);
  EXPECT_EQ(Event(), "<<<-- NAME_1 - z\xE1pis na adr. 1234 ");
}

TEST_F(DecodeTest, LyingCountsNeverStoreBytesThatDidNotArrive) {
  st.DefAnalogInAddr = 0x1000;
  st.AnalogInValue[2] = 7.0;
  // Count 192 but only one value arrived: value 2 keeps its old reading.
  ASSERT_EQ(Decode(FromStation(Hex("4E 00 10 C0 40 00 00"))), 1);
  EXPECT_EQ(double(st.AnalogInValue[1]), 1.0);
  EXPECT_EQ(double(st.AnalogInValue[2]), 7.0);
  // Masks that point past the message read zeros and stay inside the record.
  ASSERT_EQ(Decode(FromStation(Hex("41 FF"))), 1);
  ASSERT_EQ(Decode(FromStation(Hex("43 3F"))), 1);
  ASSERT_EQ(Decode(FromStation(Hex("42 00"))), 1);
  EXPECT_EQ(st.BinarInValue[96], 0);
}

TEST_F(DecodeTest, UnknownCodeStopsButKeepsWhatCameBefore) {
  ASSERT_EQ(Decode(FromStation(Hex("42 01 01 5A 42 01 02"))), 1);
  EXPECT_EQ(st.BinarInValue[1], 1);
  EXPECT_EQ(Event(), "<<<-- NAME_1 - BI ");
}

}  // namespace
}  // namespace qz
