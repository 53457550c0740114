// Driver state defaults, channel numbering, list handling and the six-byte
// real form.

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "config/real6.h"
#include "host/driver_state.h"

namespace qz {
namespace {

std::string Hex(const Real6::Bytes& b) {
  char buf[20];
  std::snprintf(buf, sizeof buf, "%02X %02X %02X %02X %02X %02X", b[0], b[1], b[2], b[3], b[4], b[5]);
  return buf;
}

struct Real6Case {
  double value;
  const char* bytes;
};

class Real6Examples : public ::testing::TestWithParam<Real6Case> {};

TEST_P(Real6Examples, EncodesToTheRecordBytesAndBack) {
  const auto& c = GetParam();
  const Real6 r(c.value);
  EXPECT_EQ(Hex(r.bytes()), c.bytes);
  EXPECT_EQ(Real6(r.value()).bytes(), r.bytes()) << "a second pass must not change the bytes";
}

INSTANTIATE_TEST_SUITE_P(RecordForms, Real6Examples,
                         ::testing::Values(Real6Case{1.0, "81 00 00 00 00 00"},
                                           Real6Case{100.0, "87 00 00 00 00 48"},
                                           Real6Case{600.0, "8A 00 00 00 00 16"},
                                           Real6Case{155.08, "88 48 E1 7A 14 1B"},
                                           Real6Case{-999999.9, "94 66 66 FE 23 F4"},
                                           Real6Case{0.0, "00 00 00 00 00 00"},
                                           Real6Case{-1.0, "81 00 00 00 00 80"}));

TEST(Real6, HoldsValuesAtItsOwnPrecision) {
  EXPECT_EQ(Real6(155.08).value(), 155.0800000000745);
  EXPECT_NE(Real6(155.08).value(), 155.08);
  EXPECT_TRUE(IsMissingReal(Real6(-999999.9).value()));
  EXPECT_TRUE(IsMissingReal(Real6(Real6(-999999.9).value())));
}

TEST(Real6, OutOfRangeValuesSaturateOrVanish) {
  EXPECT_EQ(Real6(1e-300).value(), 0.0);
  EXPECT_GT(Real6(1e300).value(), 1e37);
  EXPECT_LT(Real6(-1e300).value(), -1e37);
  EXPECT_EQ(Real6(std::nan("")).value(), 0.0);
}

class NewState : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(InitDriverState(*state)); }
  std::unique_ptr<DriverState> state = std::make_unique<DriverState>();
};

TEST_F(NewState, HasTheDefaultsBeforeAnyFileIsRead) {
  const DriverState& s = *state;
  EXPECT_EQ(s.Log.Enabled(), 0);
  EXPECT_EQ(s.Config.SelfReading, 1);
  EXPECT_EQ(s.Config.SleepTime.value(), 600.0);
  EXPECT_EQ(s.Config.SleepCount, 10);
  EXPECT_EQ(s.Config.IdleTime, 10);
  EXPECT_EQ(s.Config.NumMorvenError, 1);
  EXPECT_EQ(s.Config.CucPath, "C:\\");
  EXPECT_EQ(s.Config.DriverName, "QZDRK485");
  EXPECT_EQ(s.Config.StationCount, 0);
  EXPECT_EQ(s.Samples.HistorySampleIndex, 1);
  EXPECT_EQ(s.Host.HostWriteChannel, 1);
  EXPECT_EQ(s.History.Query.HistoryStation, 1);
  EXPECT_EQ(s.History.Query.HistoryTimeout.value(), 600.0);
  EXPECT_EQ(s.Config.KeyCodeTable.size(), 27u);
  EXPECT_EQ(s.Config.KeyCodeTable.byte(0), 0x8C);
  EXPECT_EQ(s.Config.KeyCodeTable.byte(26), 0x09);
  EXPECT_GT(s.Engine.StatisticsTimes[2], 40000.0) << "start time is a date-time value of today";
}

TEST_F(NewState, AllHundredStationsExistWithTheirDefaultNames) {
  for (int n = 1; n <= kMaxStations; ++n) {
    const StationRecord& st = state->Config.Station(n);
    EXPECT_EQ(st.Name, "NAME_" + std::to_string(n));
    EXPECT_EQ(st.ChannelBI, 0);
    EXPECT_EQ(st.Status(StatusChannel::MsgCounter), 0);
    EXPECT_EQ(st.AnalogLimits[64].High.value(), 100.0);
    EXPECT_EQ(st.AnalogLimits[1].Low.value(), 0.0);
    EXPECT_EQ(st.QqVariables, nullptr);
  }
}

TEST_F(NewState, SamplesStartCleared) {
  const HistorySample& last = (*state->Samples.HistorySamples)[kHistorySampleCount];
  EXPECT_EQ(last.Status, 0);
  for (const auto& v : last.Values) EXPECT_EQ(v, std::string(3, '\0'));
}

TEST_F(NewState, SecondInitForgetsTheFormerLoad) {
  state->Config.Station(3).Name = "PUMPS";
  AppendQqVariable(state->Config.Station(3), QqVariable{});
  state->History.ImageSlot(3) = std::make_unique<HistoryImage>();
  InitDriverState(*state);
  EXPECT_EQ(state->Config.Station(3).Name, "NAME_3");
  EXPECT_EQ(state->Config.Station(3).QqVariables, nullptr);
  EXPECT_EQ(state->History.Image(3), nullptr);
}

TEST_F(NewState, OriginalChannelsNumberStationSeven) {
  SetDefaultChannels(state->Config, 7);
  const StationRecord& st = state->Config.Station(7);
  EXPECT_EQ(st.ChannelBI, 3001);
  EXPECT_EQ(st.ChannelBO, 3097);
  EXPECT_EQ(st.ChannelAI, 3193);
  EXPECT_EQ(st.ChannelCT, 3257);
  EXPECT_EQ(st.ChannelMO, 3305);
  EXPECT_EQ(st.ChannelMI, 3405);
  EXPECT_EQ(st.Status(StatusChannel::ErrorNoAnswer), 3450);
  EXPECT_EQ(st.Status(StatusChannel::ErrCount), 3454);
  EXPECT_EQ(st.Status(StatusChannel::Video), 3456);
  EXPECT_EQ(st.Status(StatusChannel::out_read_AImorven), 3460);
  EXPECT_EQ(st.Status(StatusChannel::out_write_all_BO_MO), 3480);
  EXPECT_EQ(st.Status(StatusChannel::MsgCounter), 3481);
  EXPECT_EQ(st.Status(StatusChannel::name_channel), 0);
  EXPECT_EQ(st.Status(StatusChannel::CallCode), 0);
  EXPECT_EQ(state->Config.Station(6).ChannelBI, 0) << "other stations keep their numbers";
}

TEST_F(NewState, OriginalChannelsOfTheLastStationStayBelow65536) {
  SetDefaultChannels(state->Config, 100);
  EXPECT_EQ(state->Config.Station(100).ChannelBI, 49501);
  EXPECT_EQ(state->Config.Station(100).Status(StatusChannel::MsgCounter), 49981);
}

TEST_F(NewState, ClearStationValuesKeepsCounterValuesAsPrevious) {
  StationRecord& st = state->Config.Station(2);
  st.Counters[5].Value = 1234.0;
  st.Counters[5].Work = 9;
  st.BinarInValue[96] = 1;
  st.AnalogInValue[64] = 3.5;
  st.MemoryOut[100].Value = 7.0;
  st.MemoryIn[45].Value = 8.0;
  st.TimeoutCount = 12;
  ClearStationValues(state->Config);
  EXPECT_EQ(st.Counters[5].PrevValue.value(), 1234.0);
  EXPECT_EQ(st.Counters[5].Value.value(), 1234.0);
  EXPECT_EQ(st.Counters[5].Work, 0);
  EXPECT_EQ(st.BinarInValue[96], 0);
  EXPECT_EQ(st.AnalogInValue[64].value(), 0.0);
  EXPECT_EQ(st.MemoryOut[100].Value.value(), 0.0);
  EXPECT_EQ(st.MemoryIn[45].Value.value(), 0.0);
  EXPECT_EQ(st.TimeoutCount, 0);
  EXPECT_EQ(st.DisplayLines[1], "<line 1>");
  EXPECT_EQ(st.DisplayLines[4], "<line 4>");
}

QqVariable Qq(std::uint16_t key, std::uint8_t block, std::uint8_t group, std::uint8_t item,
              QqType type = QqType::Word) {
  QqVariable v;
  v.Key = key;
  v.Block = block;
  v.Group = group;
  v.Item = item;
  v.Type = type;
  return v;
}

TEST_F(NewState, QqVariablesKeepFileOrderAndTheFirstKeyWins) {
  state->Config.StationCount = 3;
  AppendQqVariable(state->Config.Station(2), Qq(500, 0xBA, 1, 1));
  AppendQqVariable(state->Config.Station(2), Qq(501, 0xBA, 1, 2));
  AppendQqVariable(state->Config.Station(3), Qq(500, 0xBA, 1, 3));
  const QqVariable* first = state->Config.Station(2).QqVariables.get();
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->Key, 500);
  ASSERT_NE(first->Next, nullptr);
  EXPECT_EQ(first->Next->Key, 501);
  EXPECT_EQ(first->Next->Next, nullptr);

  const QqMatch m = FindQqByKey(state->Config, 500);
  EXPECT_EQ(m.Station, 2);
  EXPECT_EQ(m.Variable, first);
  EXPECT_EQ(FindQqByKey(state->Config, 999).Variable, nullptr);
}

TEST_F(NewState, FindQqByKeyLooksOnlyAtLoadedStations) {
  state->Config.StationCount = 1;
  AppendQqVariable(state->Config.Station(2), Qq(700, 1, 1, 1));
  EXPECT_EQ(FindQqByKey(state->Config, 700).Variable, nullptr);
}

TEST_F(NewState, StringVariableAnswersForEightItems) {
  AppendQqVariable(state->Config.Station(4), Qq(800, 0xBA, 2, 10, QqType::String));
  for (int item = 10; item <= 17; ++item) {
    const QqMatch m = FindQqByAddress(state->Config, 4, 0xBA, 2, static_cast<std::uint8_t>(item));
    ASSERT_NE(m.Variable, nullptr) << item;
    EXPECT_EQ(m.Offset, item - 10);
  }
  EXPECT_EQ(FindQqByAddress(state->Config, 4, 0xBA, 2, 9).Variable, nullptr);
  EXPECT_EQ(FindQqByAddress(state->Config, 4, 0xBA, 2, 18).Variable, nullptr);
  EXPECT_EQ(FindQqByAddress(state->Config, 4, 0xBA, 3, 10).Variable, nullptr);
  EXPECT_EQ(FindQqByAddress(state->Config, 101, 0xBA, 2, 10).Variable, nullptr);
}

TEST_F(NewState, MemoryBlocksAppendAtTheEnd) {
  MemoryBlock a;
  a.Channel = 1;
  MemoryBlock b;
  b.Channel = 2;
  b.Addr = 0x100;
  AppendMemoryBlock(state->Config.Station(1), a);
  AppendMemoryBlock(state->Config.Station(1), b);
  const MemoryBlock* first = state->Config.Station(1).MemoryBlocks.get();
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->Channel, 1);
  EXPECT_EQ(first->Addr, kNoAddress);
  ASSERT_NE(first->Next, nullptr);
  EXPECT_EQ(first->Next->Addr, 0x100);
  EXPECT_EQ(first->Items[255].Value, 4);
}

TEST(FreeList, ReleasesLongListsWithoutDeepRecursion) {
  StationRecord st;
  for (int i = 0; i < 200000; ++i) {
    auto node = std::make_unique<QqVariable>();
    node->Next = std::move(st.QqVariables);
    st.QqVariables = std::move(node);
  }
  FreeList(st.QqVariables);
  EXPECT_EQ(st.QqVariables, nullptr);
}

TEST(ShortStr, CutsAtItsCapacity) {
  ShortStr s(std::string(300, 'x'));
  EXPECT_EQ(s.size(), 255u);
  s += "more";
  EXPECT_EQ(s.size(), 255u);
  BoundedStr<20> phone = "123456789012345678901234";
  EXPECT_EQ(phone, "12345678901234567890");
  ShortStr empty = static_cast<const char*>(nullptr);
  EXPECT_TRUE(empty.empty());
  EXPECT_EQ(empty.byte(5), 0);
}

}  // namespace
}  // namespace qz
