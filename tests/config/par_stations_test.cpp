// [STATION] groups: keywords, tables, QQ variables, memory blocks and the
// way a failing group ends the stations.

#include <gtest/gtest.h>

#include "par_fixture.h"

namespace qz::test {
namespace {

class StationLoad : public ParFileFixture {
 protected:
  // Loads one station whose group has extra lines after the required ones.
  const StationRecord& LoadOne(std::string_view extra) {
    EXPECT_TRUE(Load(ValidFile(extra))) << Cp1250ToUtf8(Error());
    return state.Config.Station(1);
  }
  std::string Replaced(std::string_view from, std::string_view to) { return With(ValidFile(), from, to); }
};

TEST_F(StationLoad, RequiredKeywordsFillTheRecord) {
  const StationRecord& st = LoadOne("");
  EXPECT_EQ(st.Address, 5);
  EXPECT_EQ(st.Name.str(), "PUMP1");
  EXPECT_EQ(st.NumBinarIn, 16);
  EXPECT_EQ(st.NumBinarOut, 8);
  EXPECT_EQ(st.NumAnalogIn, 4);
  EXPECT_EQ(st.NumCounterIn, 2);
  EXPECT_EQ(st.DefAnalogInAddr, 100);  // FROM_GLOBAL
  EXPECT_EQ(st.ChannelBI, 0);          // no channels unless given
  EXPECT_DOUBLE_EQ(st.AnalogLimits[1].High, 100.0);
  EXPECT_EQ(state.Config.SelfReading, 1);
}

TEST_F(StationLoad, CountsAboveTheirLimitsAreCut) {
  std::string file = ValidFile();
  for (auto [from, to] : {std::pair{"NUM_BINAR_IN 16", "NUM_BINAR_IN 120"}, {"NUM_BINAR_OUT 8", "NUM_BINAR_OUT 97"},
                          {"NUM_ANALOG_IN 4", "NUM_ANALOG_IN 65"}, {"NUM_COUNTER_IN 2", "NUM_COUNTER_IN 49"},
                          {"NUM_MEMORY_IN 0", "NUM_MEMORY_IN 46"}, {"NUM_MEMORY_OUT 0", "NUM_MEMORY_OUT 255"}}) {
    file = With(file, from, to);
  }
  ASSERT_TRUE(Load(file));
  const StationRecord& st = state.Config.Station(1);
  EXPECT_EQ(st.NumBinarIn, 96);
  EXPECT_EQ(st.NumBinarOut, 96);
  EXPECT_EQ(st.NumAnalogIn, 64);
  EXPECT_EQ(st.NumCounterIn, 48);
  EXPECT_EQ(st.NumMemoryIn, 45);
  EXPECT_EQ(st.NumMemoryOut, 100);
}

TEST_F(StationLoad, InversionMaskListsItsInputs) {
  ASSERT_TRUE(Load(Replaced("BINAR_IN_XOR NONE", "BINAR_IN_XOR 1 5\t96")));
  const StationRecord& st = state.Config.Station(1);
  for (std::size_t i = 1; i <= 96; ++i) EXPECT_EQ(st.BinarInXor[i], (i == 1 || i == 5 || i == 96) ? 1 : 0) << i;
  // A single number that ends its line.
  ASSERT_TRUE(Load(Replaced("BINAR_OUT_XOR NONE", "BINAR_OUT_XOR 3")));
  EXPECT_EQ(state.Config.Station(1).BinarOutXor[3], 1);
}

TEST_F(StationLoad, MemoryTableEntriesAndTypes) {
  ASSERT_TRUE(Load(Replaced("DEF_MEMORY_IN NONE", "DEF_MEMORY_IN 1 100 2 102 WORD ARRAY 3 $10 byte DEF_MEMORY_END")));
  const StationRecord& st = state.Config.Station(1);
  EXPECT_EQ(st.MemoryIn[1].Address, 100);
  EXPECT_EQ(st.MemoryIn[1].Type, MemoryType::Real);
  EXPECT_EQ(st.MemoryIn[2].Address, 102);
  EXPECT_EQ(st.MemoryIn[2].Type, MemoryType::Word);
  EXPECT_EQ(st.MemoryIn[3].Address, 16);
  EXPECT_EQ(st.MemoryIn[3].Type, MemoryType::Byte);
  EXPECT_EQ(st.MemoryIn[4].Address, 0);
  EXPECT_EQ(st.MemoryInArray, 1);
}

TEST_F(StationLoad, ArrayInTheOutputTableDoesNotSetBlockRead) {
  ASSERT_TRUE(Load(Replaced("DEF_MEMORY_OUT NONE", "DEF_MEMORY_OUT ARRAY 100 7 DEF_MEMORY_END")));
  EXPECT_EQ(state.Config.Station(1).MemoryInArray, 0);
  EXPECT_EQ(state.Config.Station(1).MemoryOut[100].Address, 7);
}

TEST_F(StationLoad, CounterTableKeepsEveryEntry) {
  ASSERT_TRUE(Load(Replaced("DEF_COUNTER_IN NONE",
                            "DEF_COUNTER_IN\r\n 1 HOUR 0.5 10\r\n 2 year 2 20.25\r\n 48 DAY x 3\r\nDEF_COUNTER_END")));
  const StationRecord& st = state.Config.Station(1);
  EXPECT_EQ(st.Counters[1].Period, CounterPeriod::Hour);
  EXPECT_DOUBLE_EQ(st.Counters[1].Factor, 0.5);
  EXPECT_DOUBLE_EQ(st.Counters[1].Value, 10.0);
  EXPECT_EQ(st.Counters[2].Period, CounterPeriod::Year);
  EXPECT_DOUBLE_EQ(st.Counters[2].Value, 20.25);
  // An unreadable real keeps the entry with the marker.
  EXPECT_EQ(st.Counters[48].Period, CounterPeriod::Day);
  EXPECT_TRUE(IsMissingReal(st.Counters[48].Factor));
  EXPECT_DOUBLE_EQ(st.Counters[3].Factor, 1.0);
}

TEST_F(StationLoad, AnalogLimits) {
  const StationRecord& none = LoadOne("  ANALOG_LIMITS NONE\r\n");
  EXPECT_DOUBLE_EQ(none.AnalogLimits[1].High, Real6::Round(155.08));
  EXPECT_DOUBLE_EQ(none.AnalogLimits[64].High, Real6::Round(155.08));

  const StationRecord& st = LoadOne("  ANALOG_LIMITS 2 -10 90.5 1 ANALOG_LIMITS_END\r\n");
  EXPECT_DOUBLE_EQ(st.AnalogLimits[2].Low, -10.0);
  EXPECT_DOUBLE_EQ(st.AnalogLimits[2].High, 90.5);
  EXPECT_DOUBLE_EQ(st.AnalogLimits[2].Third, 1.0);
  EXPECT_DOUBLE_EQ(st.AnalogLimits[1].High, Real6::Round(155.08));
}

TEST_F(StationLoad, PhoneWithDialPrefixStopsSelfReading) {
  const StationRecord& st = LoadOne("  PHONE d0123456\r\n");
  EXPECT_EQ(st.Phone.str(), "0123456");
  EXPECT_EQ(st.PhoneDial, 1);
  EXPECT_EQ(state.Config.SelfReading, 0);
  EXPECT_EQ(Events().back(), "STANICE PUMP1 0123456");

  const StationRecord& plain = LoadOne("  PHONE 123456789012345678901234\r\n");
  EXPECT_EQ(plain.Phone.str(), "12345678901234567890");
  EXPECT_EQ(plain.PhoneDial, 0);
}

TEST_F(StationLoad, StopSelfReadingStaysOffAfterAPhoneStation) {
  ASSERT_TRUE(Load(With(ValidFile("  PHONE 1\r\n"), "  ADDRESS 1\r\n", "  ADDRESS 1\r\n  STOP_SELF_READING ON\r\n")));
  EXPECT_EQ(state.Config.SelfReading, 0);
}

TEST_F(StationLoad, QqLinesBuildTheListInFileOrder) {
  const StationRecord& st = LoadOne("  QQ READ 7000 1 2 3 BYTE\r\n  QQ bidir $1B59 4 5 6 STRING\r\n");
  ASSERT_NE(st.QqVariables, nullptr);
  const QqVariable& a = *st.QqVariables;
  EXPECT_EQ(a.Key, 7000);
  EXPECT_EQ(a.Direction, QqDirection::Read);
  EXPECT_EQ(a.Block, 1);
  EXPECT_EQ(a.Group, 2);
  EXPECT_EQ(a.Item, 3);
  EXPECT_EQ(a.Type, QqType::Byte);
  EXPECT_EQ(a.Text.str(), std::string(33, ' '));
  ASSERT_NE(a.Next, nullptr);
  EXPECT_EQ(a.Next->Key, 7001);
  EXPECT_EQ(a.Next->Type, QqType::String);
  EXPECT_EQ(a.Next->Next, nullptr);
  EXPECT_EQ(state.Config.SelfReading, 0);
  EXPECT_EQ(Events().back(), "  -> QQ/blok -> Vorlan-Line2");
}

TEST_F(StationLoad, ABadQqLineIsDroppedWhenALaterOneIsValid) {
  const StationRecord& st = LoadOne("  QQ READX 7000 1 2 3 BYTE\r\n  QQ WRITE 7001 1 2 4 REAL\r\n");
  ASSERT_NE(st.QqVariables, nullptr);
  EXPECT_EQ(st.QqVariables->Key, 7001);
  EXPECT_EQ(st.QqVariables->Next, nullptr);
  EXPECT_FALSE(report.Notes.empty());
}

TEST_F(StationLoad, MemoryBlockWithEveryPart) {
  const StationRecord& st = LoadOne(
      "  MEMORY_BLOCK\r\n    ADDR FROM_GLOBAL\r\n    CHANNEL 9000 CHANNEL_READ 9100\r\n"
      "    TYPES BYTE INPUT WORD OUTPUT INTEGER BIDIR CARDINAL INPUT LONGINT INPUT REAL OUTPUT TYPES_END\r\n"
      "  MEMORY_BLOCK_END\r\n"
      "  MEMORY_BLOCK ADDR 300 CHANNEL 9200 CHANNEL_READ 9300 TYPES REAL INPUT TYPES_END MEMORY_BLOCK_END\r\n");
  ASSERT_NE(st.MemoryBlocks, nullptr);
  const MemoryBlock& b = *st.MemoryBlocks;
  EXPECT_EQ(b.Addr, 100);
  EXPECT_EQ(b.Channel, 9000);
  EXPECT_EQ(b.ChannelRead, 9100);
  EXPECT_EQ(b.ByteCount, 1 + 2 + 2 + 4 + 4 + 3);
  EXPECT_EQ(b.Types.str(), std::string("\x01\x02\x03\x04\x05\x06"));
  EXPECT_EQ(b.Directions.str(), std::string("\x01\x02\x03\x01\x01\x02"));
  EXPECT_EQ(b.Items[1].Value, 4);
  ASSERT_NE(b.Next, nullptr);
  EXPECT_EQ(b.Next->Addr, 300);
  EXPECT_EQ(b.Next->ByteCount, 3);
}

TEST_F(StationLoad, AMemoryBlockTooLargeForItsRecordFails) {
  std::string types;
  for (int i = 0; i < 64; ++i) types += "CARDINAL INPUT ";  // 256 bytes
  EXPECT_FALSE(Load(ValidFile("  MEMORY_BLOCK ADDR 1 CHANNEL 9000 CHANNEL_READ 9100 TYPES " + types +
                              "TYPES_END MEMORY_BLOCK_END\r\n")));
  EXPECT_EQ(Error(), "Chybn\xE1 definice prom\xECnn\xE9 MEMORY_BLOCK / [STATION]");
}

TEST_F(StationLoad, ChannelKeywordsAndStatusNamesInAnyCase) {
  const StationRecord& st = LoadOne(
      "  CHANNEL_BI 1001\r\n  CHANNEL_BO 1101\r\n  CHANNEL_AI 1201\r\n  CHANNEL_CT 1301\r\n"
      "  CHANNEL_MI 1401\r\n  CHANNEL_MO 1501\r\n  VIDEO 1600\r\n  errornoanswer 1610\r\n"
      "  out_write_all_BO_MO 1620\r\n  MsgCounter 1630\r\n  name_channel 1640\r\n  CallCode 1650\r\n");
  EXPECT_EQ(st.ChannelBI, 1001);
  EXPECT_EQ(st.ChannelBO, 1101);
  EXPECT_EQ(st.ChannelAI, 1201);
  EXPECT_EQ(st.ChannelCT, 1301);
  EXPECT_EQ(st.ChannelMI, 1401);
  EXPECT_EQ(st.ChannelMO, 1501);
  EXPECT_EQ(st.Status(StatusChannel::Video), 1600);
  EXPECT_EQ(st.Status(StatusChannel::ErrorNoAnswer), 1610);
  EXPECT_EQ(st.Status(StatusChannel::out_write_all_BO_MO), 1620);
  EXPECT_EQ(st.Status(StatusChannel::MsgCounter), 1630);
  EXPECT_EQ(st.Status(StatusChannel::name_channel), 1640);
  EXPECT_EQ(st.Status(StatusChannel::CallCode), 1650);
}

TEST_F(StationLoad, OriginalChannelsNumberTheSecondStationFrom501) {
  ASSERT_TRUE(Load(kComGroup + kGlobalGroup + Station() + Station("  ORIGINAL_CHANNELS\r\n  CHANNEL_BO 7000\r\n")));
  ASSERT_EQ(state.Config.StationCount, 2);
  const StationRecord& st = state.Config.Station(2);
  EXPECT_EQ(st.ChannelBI, 501);
  EXPECT_EQ(st.ChannelBO, 7000);  // given after ORIGINAL_CHANNELS
  EXPECT_EQ(st.Status(StatusChannel::MsgCounter), 981);
  EXPECT_EQ(state.Config.Station(1).ChannelBI, 0);
}

TEST_F(StationLoad, AFailingSecondGroupEndsTheStationsButTheLoadSucceeds) {
  const std::string second = Station("", With(kStationBody, "  NAME \"Pump 1\"\r\n", ""));
  ASSERT_TRUE(Load(kComGroup + kGlobalGroup + Station() + second + Station()));
  EXPECT_EQ(state.Config.StationCount, 2);
  EXPECT_EQ(Events(), (std::vector<std::string>{"COM1, 9600 8 N 1", "GLOBAL info OK.", "STANICE PUMP1 "}));
  EXPECT_EQ(report.StationsEnd, "Chybn\xE1 definice prom\xECnn\xE9 NAME / [STATION]");
}

TEST_F(StationLoad, TheFirstStationFailingFailsTheLoad) {
  EXPECT_FALSE(Load(kComGroup + kGlobalGroup + Station("  QQ READ x 1 2 3 BYTE\r\n") + Station()));
  EXPECT_EQ(Error(), "Chybn\xE1 definice prom\xECnn\xE9 QQ / [STATION]");
  EXPECT_EQ(state.Config.Station(1).QqVariables, nullptr);
}

TEST_F(StationLoad, AHundredAndFirstGroupIsNotRead) {
  std::string file = kComGroup + kGlobalGroup;
  for (int i = 0; i < 101; ++i) file += Station();
  ASSERT_TRUE(Load(file));
  EXPECT_EQ(state.Config.StationCount, 100);
  EXPECT_EQ(report.StationsEnd, "Prekrocen maximalni pocet stanic");
}

TEST_F(StationLoad, UnknownTokensInAGroupAreSkipped) {
  const StationRecord& st = LoadOne("  SOMETHING_ELSE 42\r\n  $DIAGS\r\n");
  EXPECT_EQ(st.Address, 5);
}

}  // namespace
}  // namespace qz::test
