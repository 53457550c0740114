// GetInput by channel kind and type code, InputRequest and the sample
// buffer. A record whose type code does not fit keeps its sentinel bytes.

#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "engine/request_queue.h"
#include "history/host_buffer.h"
#include "host_fixture.h"
#include "protocol/codecs.h"

namespace qz::test {
namespace {

constexpr std::uint32_t kAllTypes[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13};

std::vector<std::uint8_t> Expected(std::uint32_t type, std::function<void(HostValue&)> put) {
  HostValue v = Sentinel(type);
  put(v);
  return Bytes(v);
}

class Inputs : public HostData {
 protected:
  void SetUp() override {
    Load(StationGroup("ST1", 7,
                      "  ORIGINAL_CHANNELS\r\n  BINAR_IN_XOR 2\r\n  name_channel 2000\r\n"
                      "  MEMORY_BLOCK ADDR 300 CHANNEL 3000 CHANNEL_READ 2999 TYPES BYTE INPUT WORD OUTPUT "
                      "INTEGER BIDIR CARDINAL OUTPUT LONGINT INPUT REAL OUTPUT TYPES_END MEMORY_BLOCK_END\r\n"
                      "  QQ BIDIR 4000 186 1 13 REAL\r\n  QQ READ 4001 1 2 3 STRING\r\n  QQ WRITE 4002 1 2 9 WORD\r\n"
                      "  QQ READ 5 1 2 10 BYTE\r\n") +
         StationGroup("ST2", 8, "  ORIGINAL_CHANNELS\r\n"));
    block = St(1).MemoryBlocks.get();
  }

  // Checks the right type code gives the bytes and every other leaves the
  // record alone.
  void Check(std::uint32_t channel, std::uint32_t type, const std::vector<std::uint8_t>& bytes) {
    SCOPED_TRACE("channel " + std::to_string(channel) + " type " + std::to_string(type));
    EXPECT_EQ(Bytes(Get(channel, type)), bytes);
    ExpectNothing(channel, type);
  }
  // No type code (but text, which needs a reference) writes anything.
  void ExpectNothing(std::uint32_t channel, std::uint32_t except = 0xFFFFFFFFu) {
    for (std::uint32_t type : kAllTypes) {
      if (type == kTypeText || type == except) continue;
      EXPECT_TRUE(Untouched(Get(channel, type))) << "channel " << channel << " type " << type;
    }
  }
  void CheckDouble(std::uint32_t channel, double x) {
    Check(channel, kTypeDouble, Expected(kTypeDouble, [&](HostValue& v) { PutDouble(v, x); }));
  }
  void CheckFlag(std::uint32_t channel, std::uint8_t x) {
    Check(channel, kTypeBool, Expected(kTypeBool, [&](HostValue& v) { PutU8(v, x); }));
  }
  std::uint16_t StatusOf(int n, StatusChannel c) { return St(n).Status(c); }

  MemoryBlock* block = nullptr;
};

TEST_F(Inputs, StationItemsByKind) {
  StationRecord& s = St(1);
  s.BinarInValue[1] = 1;
  s.BinarInValue[2] = 1;  // inverted by BINAR_IN_XOR
  s.BinarOutValue[3] = 1;
  s.AnalogInValue[2] = 12.5;
  s.Counters[1].PrevValue = 77.25;
  s.MemoryOut[2].Value = -3.5;
  s.MemoryIn[1].Value = 1e6;
  CheckFlag(1, 1);
  CheckFlag(2, 0);
  CheckFlag(3, 0);
  CheckFlag(99, 1);
  CheckDouble(194, 12.5);
  CheckDouble(257, 77.25);
  CheckDouble(306, -3.5);
  CheckDouble(405, 1e6);
}

TEST_F(Inputs, StatusValuesAndFlags) {
  StationRecord& s = St(2);
  s.TimeoutCount = 5, s.RequestCount = 1234, s.ErrorAnswerCount = -2;
  s.SilenceSeconds = 3.5, s.SleepTimer = 600.0, s.TimeoutRun = 9;
  s.Flags.bi_new_AI = 1, s.Flags.in_connected_modem = 1, s.Flags.in_active_message = 1;
  CheckDouble(StatusOf(2, StatusChannel::ErrorNoAnswer), 5);
  CheckDouble(StatusOf(2, StatusChannel::MsgCounter), 1234);
  CheckDouble(StatusOf(2, StatusChannel::ErrorInMess), -2);
  CheckDouble(StatusOf(2, StatusChannel::SilenceTime), 3.5);
  CheckDouble(StatusOf(2, StatusChannel::SleepTime), 600.0);
  CheckDouble(StatusOf(2, StatusChannel::ErrCount), 9);
  CheckFlag(StatusOf(2, StatusChannel::bi_new_AI), 1);
  CheckFlag(StatusOf(2, StatusChannel::bi_new_BI), 0);
  CheckFlag(StatusOf(2, StatusChannel::in_connected_modem), 1);
  CheckFlag(StatusOf(2, StatusChannel::in_active_message), 1);
  // Commands the host writes read as nothing with any type code.
  for (auto c : {StatusChannel::out_read_BI, StatusChannel::out_connect_modem, StatusChannel::out_write_all_BO_MO}) {
    ExpectNothing(StatusOf(2, c));
  }
}

TEST_F(Inputs, TextsGoIntoTheHostsBuffer) {
  std::array<char, 300> text{};
  text.fill('#');
  HostValue v = Sentinel(kTypeText);
  char* p = text.data();
  std::memcpy(v.ValueBytes, &p, sizeof p);
  GetInput(*h, 1000 + 456 - 500 + 1, v);  // station 2's display line 2 (ORIGINAL_CHANNELS: 957)
  EXPECT_STREQ(text.data(), "<line 2>");
  EXPECT_EQ(text[255], '\0');
  EXPECT_EQ(text[256], '#');  // 256 bytes, no more
  text.fill('#');
  GetInput(*h, 2000, v);
  EXPECT_STREQ(text.data(), "ST1");
  EXPECT_EQ(text[80], '\0');
  EXPECT_EQ(text[81], '#');
  text.fill('#');
  St(1).QqVariables->Next->Text = "abcdefgh" + std::string(25, ' ');
  GetInput(*h, 4001, v);
  EXPECT_EQ(std::string(text.data(), 33), "abcdefgh" + std::string(25, ' '));
  EXPECT_EQ(text[33], '#');
  // A record without a reference is ignored.
  HostValue none = Sentinel(kTypeText);
  std::memset(none.ValueBytes, 0, sizeof none.ValueBytes);
  GetInput(*h, 2000, none);
  GetInput(*h, 4001, none);
}

TEST_F(Inputs, MemoryBlockItemsByItemType) {
  auto slot = [&](int i, std::uint32_t raw) { block->Items[static_cast<std::size_t>(i)].Value = static_cast<std::int32_t>(raw); };
  slot(1, 0x000000F1);
  slot(2, 0x0000BEEF);
  slot(3, 0x0000FFFE);
  slot(4, 0xDEADBEEF);
  slot(5, 0x80000001);
  const Float24 f = EncodeFloat24(-2.5);
  slot(6, static_cast<std::uint32_t>(f[0] | (f[1] << 8) | (f[2] << 16)));
  Check(3000, kTypeByte, Expected(kTypeByte, [](HostValue& v) { PutU8(v, 0xF1); }));
  Check(3001, kTypeWord, Expected(kTypeWord, [](HostValue& v) { PutU16(v, 0xBEEF); }));
  Check(3002, kTypeSmallInt, Expected(kTypeSmallInt, [](HostValue& v) { PutU16(v, 0xFFFE); }));
  Check(3003, kTypeCardinal, Expected(kTypeCardinal, [](HostValue& v) { PutU32(v, 0xDEADBEEF); }));
  Check(3004, kTypeLongInt, Expected(kTypeLongInt, [](HostValue& v) { PutU32(v, 0x80000001); }));
  CheckDouble(3005, -2.5);
  ExpectNothing(2999);  // the block read is a command
}

TEST_F(Inputs, QqVariableByTypeCode) {
  QqVariable& q = *St(1).QqVariables;
  q.FloatValue = 300.75f;
  q.IntValue = -7;
  EXPECT_EQ(Bytes(Get(4000, kTypeBool))[0], 0);
  EXPECT_EQ(Bytes(Get(4000, kTypeByte))[0], 300 & 0xFF);
  EXPECT_EQ(Bytes(Get(4000, kTypeShortInt))[0], 300 & 0xFF);
  EXPECT_EQ(GetU16(Get(4000, kTypeWord)), 300);
  EXPECT_EQ(GetU16(Get(4000, kTypeSmallInt)), 300);
  EXPECT_EQ(GetU32(Get(4000, kTypeCardinal)), 300u);
  EXPECT_EQ(static_cast<std::int32_t>(GetU32(Get(4000, kTypeLongInt))), -7);
  EXPECT_EQ(GetSingle(Get(4000, kTypeSingle)), 300.75f);
  EXPECT_EQ(GetDouble(Get(4000, kTypeDouble)), 300.75);
  EXPECT_TRUE(Untouched(Get(4000, kTypeBuffer)));
  EXPECT_TRUE(Untouched(Get(4000, 0)));
  q.FloatValue = 1.0f;
  EXPECT_EQ(Bytes(Get(4000, kTypeBool))[0], 1);
  q.FloatValue = -1.9f;  // truncated toward zero
  EXPECT_EQ(GetU16(Get(4000, kTypeSmallInt)), 0xFFFF);
  q.FloatValue = std::numeric_limits<float>::quiet_NaN();
  EXPECT_EQ(GetU32(Get(4000, kTypeCardinal)), 0u);
}

TEST_F(Inputs, QqKeyWinsOverAStationRange) {
  St(1).BinarInValue[5] = 1;
  St(1).QqVariables->Next->Next->Next->FloatValue = 0.0f;  // key 5
  EXPECT_EQ(Bytes(Get(5, kTypeBool))[0], 0);
  EXPECT_EQ(GetSingle(Get(5, kTypeSingle)), 0.0f);
  EXPECT_TRUE(Untouched(Get(5, kTypeBuffer)));
}

TEST_F(Inputs, FirstStationAnswersASharedChannel) {
  Load(StationGroup("A", 1, "  CHANNEL_BI 100\r\n  VIDEO 900\r\n") + StationGroup("B", 2, "  CHANNEL_BI 100\r\n  VIDEO 910\r\n"));
  St(1).BinarInValue[1] = 0;
  St(2).BinarInValue[1] = 1;
  EXPECT_EQ(Bytes(Get(100, kTypeBool))[0], 0);
  St(1).BinarInValue[1] = 1;
  St(2).BinarInValue[1] = 0;
  EXPECT_EQ(Bytes(Get(100, kTypeBool))[0], 1);
}

TEST_F(Inputs, ChannelTwoWithTextIsTheFirstStationsDisplayLine) {
  Counts onlyAnalog{0, 0, 4, 0, 0, 0};
  Load(StationGroup("A", 1, "  CHANNEL_AI 100\r\n", onlyAnalog) + StationGroup("B", 2, "  CHANNEL_BI 1\r\n  VIDEO 900\r\n"));
  std::array<char, 256> text{};
  HostValue v = Sentinel(kTypeText);
  char* p = text.data();
  std::memcpy(v.ValueBytes, &p, sizeof p);
  GetInput(*h, 2, v);
  EXPECT_STREQ(text.data(), "<line 3>");
  St(2).BinarInValue[2] = 1;
  EXPECT_TRUE(Untouched(Get(2, kTypeBool)));  // station 1's display line: text only
  EXPECT_EQ(Bytes(Get(4, kTypeBool))[0], 0);
}

TEST_F(Inputs, SampleChannels) {
  HistorySample& sample = (*S().Samples.HistorySamples)[5];
  sample.Time = {17, 8, 20, 10, 30, 45};
  sample.Values[0] = std::string("\x01\x00\x80", 3);
  sample.Values[1] = std::string("\x01\x00\x00", 3);
  const Float24 f = EncodeFloat24(12.5);
  sample.Values[7] = std::string(f.begin(), f.end());
  S().Samples.HistorySampleIndex = 5;
  for (int i = 0; i < 6; ++i) Check(60004u + static_cast<std::uint32_t>(i), kTypeByte, Expected(kTypeByte, [&](HostValue& v) { PutU8(v, sample.Time[static_cast<std::size_t>(i)]); }));
  CheckDouble(60017, 12.5);
  CheckDouble(60011, DecodeFloat24(sample.Values[1].view()));
  CheckFlag(60100, 1);  // bit 0 of byte 1 of value 1
  CheckFlag(60123, 1);  // bit 7 of byte 3 of value 1
  CheckFlag(60124, 1);  // bit 0 of byte 1 of value 2
  CheckFlag(60101, 0);
  CheckFlag(60291, 0);
  S().Samples.HistorySamplesActive = 1;
  S().Samples.SampleFileFlag = 1;
  CheckFlag(60018, 1);
  CheckFlag(60022, 1);
  // Unlisted driver numbers reach the stations and find nothing here.
  for (std::uint32_t c : {60000u, 60003u, 60019u, 60021u, 65407u, 65415u}) {
    ExpectNothing(c);
  }
}

TEST_F(Inputs, HistoryQueryAndRecordChannels) {
  HistoryQuery& q = S().History.Query;
  q.HistoryStation = 2, q.HistoryUser = 3, q.HistoryUserPos = 100, q.HistoryTop = 130, q.HistoryState = HistoryPhase::Finished;
  q.HistoryElapsed = 1.5, q.HistoryAux = -4, q.HistoryCapacity = 50000, q.HistoryRecordIndex = 4;
  q.DateWords = {29, 2, 2000, 1, 2, 3};
  Check(65400, kTypeSmallInt, Expected(kTypeSmallInt, [](HostValue& v) { PutU16(v, 2); }));
  Check(65401, kTypeSmallInt, Expected(kTypeSmallInt, [](HostValue& v) { PutU16(v, 3); }));
  Check(65402, kTypeCardinal, Expected(kTypeCardinal, [](HostValue& v) { PutU32(v, 100); }));
  Check(65403, kTypeCardinal, Expected(kTypeCardinal, [](HostValue& v) { PutU32(v, 130); }));
  Check(65404, kTypeSmallInt,
        Expected(kTypeSmallInt, [](HostValue& v) { PutU16(v, static_cast<std::uint16_t>(HistoryPhase::Finished)); }));
  CheckDouble(65405, 1.5);
  CheckDouble(65406, 600.0);
  Check(65409, kTypeLongInt, Expected(kTypeLongInt, [](HostValue& v) { PutU32(v, 0xFFFFFFFCu); }));
  Check(65410, kTypeWord, Expected(kTypeWord, [](HostValue& v) { PutU16(v, 4); }));
  Check(65414, kTypeLongInt, Expected(kTypeLongInt, [](HostValue& v) { PutU32(v, 50000); }));
  Check(65417, kTypeWord, Expected(kTypeWord, [](HostValue& v) { PutU16(v, 2); }));
  Check(65418, kTypeWord, Expected(kTypeWord, [](HostValue& v) { PutU16(v, 2000); }));
  // No image yet: the record channels write nothing.
  EXPECT_TRUE(Untouched(Get(65411, kTypeWord)));
  S().History.ImageSlot(2) = std::make_unique<HistoryImage>();
  const std::uint8_t record[10] = {0x34, 0x12, 0x80, 0xC8, 0x4D, 0x00, 0x00, 0x00, 0x48, 0x41};  // 12.5f
  std::memcpy(S().History.ImageSlot(2)->Bytes.data() + 40, record, sizeof record);
  Check(65411, kTypeWord, Expected(kTypeWord, [](HostValue& v) { PutU16(v, 0x1234); }));
  Check(65412, kTypeCardinal, Expected(kTypeCardinal, [](HostValue& v) { PutU32(v, 5097600); }));
  Check(65413, kTypeSingle, Expected(kTypeSingle, [](HostValue& v) { PutSingle(v, 12.5f); }));
  q.HistoryBusy = 1;
  EXPECT_TRUE(Untouched(Get(65411, kTypeWord)));
  q.HistoryBusy = 0;
  q.HistoryRecordIndex = 50000;
  EXPECT_TRUE(Untouched(Get(65412, kTypeCardinal)));
}

TEST_F(Inputs, DriverValuesAfterTheStations) {
  Load(StationGroup("A", 1, "  CHANNEL_BI 100\r\n  VIDEO 900\r\n"));
  EngineState& e = S().Engine;
  e.SentCount = 10, e.LineSilence = 2.5, e.ActiveKind = 16, e.ReceivedCount = 9, e.ActiveStation = 1;
  e.ThreadPhase = Phase::AwaitAnswer, e.AcceptedCount = 8, e.AnswerTimer = 0.25;
  S().Engine.FullSleepTimer = 30;
  Request r;
  r.Station = 1;
  e.ReadQueue.Insert(r);
  r.Kind = RequestKind::WriteBO;
  e.WriteQueue.Insert(r);
  r.Kind = RequestKind::WriteMO;
  e.WriteQueue.Insert(r);
  const double awaitAnswer = static_cast<double>(Phase::AwaitAnswer);
  const std::pair<std::uint32_t, double> doubles[] = {{486, 10}, {488, 0}, {489, 2.5},         {490, 3},
                                                      {491, 16}, {492, 30}, {493, 9},          {494, 1},
                                                      {495, awaitAnswer}, {497, 2}, {498, 8}, {499, 0.25}};
  for (auto [channel, x] : doubles) CheckDouble(channel, x);
  ExpectNothing(487);
  EXPECT_GT(GetU32(Get(496, kTypeLongInt)), 0u);
  EXPECT_TRUE(Untouched(Get(496, kTypeDouble)));
  // Full 32-bit comparison: a number above 65535 is no driver channel.
  EXPECT_TRUE(Untouched(Get(65536 + 486, kTypeDouble)));
}

TEST_F(Inputs, HostWriteAndBufferChannels) {
  S().Host.HostWriteValue = 2.5;
  S().Host.HostWritePending = 1;
  CheckDouble(65533, 2.5);
  CheckDouble(65534, 1);
  CheckFlag(65535, 1);
  S().Engine.CycleMs = 12.25;
  CheckDouble(65399, 12.25);
  HostValue v = Get(65532, kTypeBuffer);
  EXPECT_EQ(v.ValueBytes[0], 9);
  EXPECT_EQ(v.ValueBytes[1], 66);
  EXPECT_EQ(v.ValueBytes[2], 0);
  EXPECT_EQ(v.ValueBytes[3] | v.ValueBytes[4] | v.ValueBytes[5] | v.ValueBytes[6], 0);  // no buffer yet
  EXPECT_EQ(v.ValueBytes[7], kSentinel);
}

TEST_F(Inputs, AnyChannelWithAnyTypeCodeIsSafe) {
  std::array<char, 512> text{};
  for (std::uint32_t type : kAllTypes) {
    for (std::uint32_t channel = 0; channel <= 65540; ++channel) {
      HostValue v = Sentinel(type);
      if (type == kTypeText) {
        char* p = text.data();
        std::memcpy(v.ValueBytes, &p, sizeof p);
      }
      GetInput(*h, channel, v);
    }
  }
  SUCCEED();
}

TEST(HostBuffer, AcceptedOnlyForItsChannelTypeAndSize) {
  EXPECT_TRUE(HostBufferAccepted(65532, 9, 16862));
  EXPECT_FALSE(HostBufferAccepted(65532, 9, 16930));
  EXPECT_FALSE(HostBufferAccepted(65531, 9, 16862));
  EXPECT_FALSE(HostBufferAccepted(65532, 10, 16862));
}

TEST_F(Inputs, SetBufferAddrWritesTheHeaderWithinTheAcceptedSize) {
  std::vector<std::uint8_t> buffer(kHostBufferSize + 100, 0xEE);
  SetBufferAddr(S(), 65531, buffer.data());
  EXPECT_EQ(S().Samples.HostBuffer, nullptr);
  SetBufferAddr(S(), 65532, buffer.data());
  EXPECT_EQ(S().Samples.HostBuffer, buffer.data());
  auto u16 = [&](std::size_t o) { return buffer[o] | buffer[o + 1] << 8; };
  auto u32 = [&](std::size_t o) { return static_cast<std::uint32_t>(u16(o) | u16(o + 2) << 16); };
  EXPECT_EQ(u16(0), 0);
  EXPECT_EQ(u16(2), 8);
  EXPECT_EQ(u32(4), 528u);
  EXPECT_EQ(u32(8), 0u);
  EXPECT_EQ(u16(22), 9);
  EXPECT_EQ(u32(24), 0u);
  float period = 0;
  std::memcpy(&period, &buffer[30], 4);
  EXPECT_EQ(period, 300.0f);
  EXPECT_EQ(buffer[kHostBufferSize - 1], 0);
  EXPECT_EQ(buffer[kHostBufferSize], 0xEE);  // nothing beyond what the host announced
  HostValue v = Get(65532, kTypeBuffer);
  const auto reference = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(buffer.data()));
  EXPECT_EQ(v.ValueBytes[3] | v.ValueBytes[4] << 8 | v.ValueBytes[5] << 16 | static_cast<std::uint32_t>(v.ValueBytes[6]) << 24,
            reference);
}

// --- InputRequest ------------------------------------------------------------

TEST_F(Inputs, InputRequestQueuesAReadableVariableOnce) {
  InputRequest(*h, 4000);
  InputRequest(*h, 4000);
  ASSERT_EQ(S().Engine.ReadQueue.Count(), 1u);
  const Request& r = *S().Engine.ReadQueue.Head();
  EXPECT_EQ(r.Station, 1);
  EXPECT_EQ(r.Kind, RequestKind::QqRead);
  EXPECT_EQ(r.Item, 0);
  EXPECT_EQ(r.Data, std::string("\xBA\x01\x0D", 3));
}

TEST_F(Inputs, InputRequestFindsTheAddressInsideAMergedRead) {
  Request merged;
  merged.Station = 1;
  merged.Kind = RequestKind::QqRead;
  merged.Data = std::string("\x01\x02\x03\xBA\x01\x0D", 6);
  S().Engine.ReadQueue.Insert(merged);
  InputRequest(*h, 4000);
  EXPECT_EQ(S().Engine.ReadQueue.Count(), 1u);
  merged.Data = std::string("\x01\xBA\x01\x0D\x00\x00", 6);  // not at a triplet boundary
  S().Engine.ReadQueue.Clear();
  S().Engine.ReadQueue.Insert(merged);
  InputRequest(*h, 4000);
  EXPECT_EQ(S().Engine.ReadQueue.Count(), 2u);
}

TEST_F(Inputs, InputRequestOfAStringQueuesEightItems) {
  InputRequest(*h, 4001);
  ASSERT_EQ(S().Engine.ReadQueue.Count(), 8u);
  int item = 3;
  for (const Request& r : S().Engine.ReadQueue.Items()) EXPECT_EQ(r.Data, std::string("\x01\x02", 2) + static_cast<char>(item++));
}

TEST_F(Inputs, InputRequestQueuesNothingWhenItMustNot) {
  InputRequest(*h, 4002);  // write-only
  InputRequest(*h, 1);     // no variable
  S().Host.OnDemandBlock = 1;
  InputRequest(*h, 4000);
  S().Host.OnDemandBlock = 0;
  St(1).SleepTimer = 5.0;
  InputRequest(*h, 4000);
  EXPECT_TRUE(S().Engine.ReadQueue.Empty());
}

}  // namespace
}  // namespace qz::test
