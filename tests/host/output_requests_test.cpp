// OutputRequest: station items, commands, QQ writes, driver-level channels,
// the sample read-out and its file, the history commands and the modem.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>

#include "diag/cp1250.h"
#include "engine/request_queue.h"
#include "history/host_buffer.h"
#include "host/sample_file.h"
#include "host_fixture.h"
#include "protocol/codecs.h"
#include "serial/modem.h"
#include "support/memory_line.h"

namespace qz::test {
namespace {

struct Queued {
  int Station;
  std::uint32_t Kind;
  std::uint16_t Item;
  friend bool operator==(const Queued&, const Queued&) = default;
};

std::vector<Queued> Requests(const RequestQueue& q) {
  std::vector<Queued> out;
  for (const Request& r : q.Items()) out.push_back({r.Station, KindByte(r.Kind), r.Item});
  return out;
}

std::string FileBytes(const std::filesystem::path& path) {
  std::string bytes(16384 * 2, '\0');
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return {};
  bytes.resize(std::fread(bytes.data(), 1, bytes.size(), f));
  std::fclose(f);
  return bytes;
}

class Outputs : public HostData {
 protected:
  void SetUp() override {
    Load(StationGroup("ST1", 7,
                      "  ORIGINAL_CHANNELS\r\n  DEF_MEMORY_IN 1 100 2 103 DEF_MEMORY_END\r\n"
                      "  MEMORY_BLOCK ADDR 300 CHANNEL 3000 CHANNEL_READ 2999 TYPES BYTE OUTPUT WORD OUTPUT "
                      "INTEGER BIDIR CARDINAL OUTPUT LONGINT OUTPUT REAL OUTPUT BYTE INPUT TYPES_END MEMORY_BLOCK_END\r\n"
                      "  QQ BIDIR 4000 186 1 13 REAL\r\n  QQ READ 4001 1 2 3 STRING\r\n  QQ WRITE 4002 1 2 9 LONGINT\r\n") +
         StationGroup("ST2", 8, "  ORIGINAL_CHANNELS\r\n  PHONE D12345\r\n"));
    ClearEvents();
  }
  RequestQueue& Reads() { return S().Engine.ReadQueue; }
  RequestQueue& Writes() { return S().Engine.WriteQueue; }
  std::uint16_t StatusOf(int n, StatusChannel c) { return St(n).Status(c); }
  MemoryBlock& Block() { return *St(1).MemoryBlocks; }
};

TEST_F(Outputs, BinaryOutputChangesOnlyOnce) {
  Put(97, kTypeBool, 1);
  Put(97, kTypeBool, 1);
  EXPECT_EQ(St(1).BinarOutValue[1], 1);
  EXPECT_EQ(Events(), std::vector<std::string>{"ST1 - BO1=1"});
  EXPECT_EQ(Requests(Writes()), (std::vector<Queued>{{1, 4, 1}}));
  Put(98, kTypeDouble, 1);  // another type code
  EXPECT_EQ(St(1).BinarOutValue[2], 0);
  Put(98, kTypeBool, 255);
  EXPECT_EQ(LastEvent(), "ST1 - BO2=-1");
}

TEST_F(Outputs, BinaryOutputOfAStationWithAPhoneQueuesNothing) {
  Put(500 + 97, kTypeBool, 1);
  EXPECT_EQ(St(2).BinarOutValue[1], 1);
  EXPECT_EQ(LastEvent(), "ST2 - BO1=1");
  EXPECT_TRUE(Writes().Empty());
}

TEST_F(Outputs, MemoryOutputAndCounter) {
  Put(306, kTypeDouble, 12.5);
  Put(306, kTypeDouble, 12.5);
  EXPECT_EQ(St(1).MemoryOut[2].Value.value(), 12.5);
  EXPECT_EQ(Events(), std::vector<std::string>{"ST1 - MO2=12.50"});
  EXPECT_EQ(Requests(Writes()), (std::vector<Queued>{{1, 5, 2}}));
  Put(258, kTypeDouble, 99.5);
  EXPECT_EQ(St(1).Counters[2].PrevValue.value(), 99.5);
  Put(258, kTypeCardinal, 1);
  EXPECT_EQ(St(1).Counters[2].PrevValue.value(), 99.5);
  // Inputs are the station's.
  Put(1, kTypeBool, 1);
  Put(193, kTypeDouble, 3);
  EXPECT_EQ(St(1).BinarInValue[1], 0);
  EXPECT_EQ(St(1).AnalogInValue[1].value(), 0.0);
}

TEST_F(Outputs, CountersOfTheStation) {
  Put(StatusOf(1, StatusChannel::ErrorNoAnswer), kTypeDouble, 17.9);
  EXPECT_EQ(St(1).TimeoutCount, 17);
  EXPECT_EQ(LastEvent(), Utf8ToCp1250("ST1 - nastavení počítadla chyb = 17"));
  Put(StatusOf(1, StatusChannel::MsgCounter), kTypeDouble, 0);
  EXPECT_EQ(St(1).RequestCount, 0);
  EXPECT_EQ(LastEvent(), Utf8ToCp1250("ST1 - nastavení počítadla zpráv = 0"));
  Put(StatusOf(1, StatusChannel::MsgCounter), kTypeDouble, 1e300);  // saturates
  EXPECT_EQ(St(1).RequestCount, 2147483647);
}

struct Command {
  StatusChannel Channel;
  bool Write;
  std::vector<Queued> Expected;
  const char* Event;  // UTF-8, after the name; none for the log-only command
};

TEST_F(Outputs, ReadAndWriteCommands) {
  const Command commands[] = {
      {StatusChannel::out_read_BI, false, {{1, 0, 1}}, " - BI"},
      {StatusChannel::out_read_AI, false, {{1, 1, 1}}, " - AI vorlan"},
      {StatusChannel::out_read_CT, false, {{1, 2, 1}}, " - CT"},
      {StatusChannel::out_read_AImorven, false, {{1, 7, 1}}, " - AI talima"},
      {StatusChannel::out_read_KI, false, {{1, 6, 1}, {1, 6, 2}}, " -  2 x MI"},
      {StatusChannel::out_write_BO, true, {{1, 4, 1}}, " - BO"},
      {StatusChannel::out_write_KO, true, {{1, 9, 1}}, " - KO"},
      {StatusChannel::out_write_all_BO_MO, true, {{1, 4, 1}, {1, 5, 1}, {1, 5, 2}, {1, 5, 3}}, nullptr},
  };
  for (const Command& c : commands) {
    SCOPED_TRACE(StatusChannelName(c.Channel));
    Reads().Clear();
    Writes().Clear();
    ClearEvents();
    Put(StatusOf(1, c.Channel), kTypeDouble, 1);  // wrong type code: nothing
    EXPECT_TRUE(Reads().Empty() && Writes().Empty());
    Put(StatusOf(1, c.Channel), kTypeBool, 0);  // any byte starts it
    EXPECT_EQ(Requests(c.Write ? Writes() : Reads()), c.Expected);
    EXPECT_TRUE((c.Write ? Reads() : Writes()).Empty());
    if (c.Event) EXPECT_EQ(LastEvent(), "ST1" + Utf8ToCp1250(c.Event));
    else EXPECT_TRUE(Events().empty());
  }
}

TEST_F(Outputs, MemoryInputReadByArrayOrByDialledStation) {
  St(1).MemoryInArray = 1;
  Put(StatusOf(1, StatusChannel::out_read_KI), kTypeBool, 1);
  EXPECT_EQ(Requests(Reads()), (std::vector<Queued>{{1, 6, 1}}));
  Put(StatusOf(2, StatusChannel::out_read_KI), kTypeBool, 1);
  EXPECT_EQ(Requests(Reads()), (std::vector<Queued>{{1, 6, 1}, {2, 8, 1}}));
  EXPECT_EQ(LastEvent(), "ST2 - KI");
}

TEST_F(Outputs, HostAcknowledgesReports) {
  const StatusChannel flags[] = {StatusChannel::bi_new_BI, StatusChannel::bi_new_AI, StatusChannel::bi_new_CT,
                                 StatusChannel::bi_new_MI, StatusChannel::bi_new_err_control,
                                 StatusChannel::in_active_message};
  StationFlags& f = St(1).Flags;
  f = {1, 1, 1, 1, 1, 1, 1, 1, 1, 1};
  for (StatusChannel c : flags) Put(StatusOf(1, c), kTypeBool, 0);
  EXPECT_EQ(f.bi_new_BI + f.bi_new_AI + f.bi_new_CT + f.bi_new_MI + f.bi_new_err_control + f.in_active_message, 0);
  // Flags the driver keeps itself are not the host's to write.
  Put(StatusOf(1, StatusChannel::in_now_comm), kTypeBool, 0);
  Put(StatusOf(1, StatusChannel::in_last_com_err), kTypeBool, 0);
  EXPECT_EQ(f.in_now_comm + f.in_last_com_err, 2);
  EXPECT_TRUE(Reads().Empty() && Writes().Empty());
}

struct BlockCase {
  int Item;
  std::uint32_t Type;
  double Value;
  std::string Data;  // bytes queued for the item
};

TEST_F(Outputs, MemoryBlockItemsAreStoredAndWritten) {
  const Float24 f = EncodeFloat24(-2.5);
  const BlockCase cases[] = {
      {1, kTypeByte, 0xF1, "\xF1"},
      {2, kTypeWord, 0xBEEF, "\xEF\xBE"},
      {3, kTypeSmallInt, -2, "\xFE\xFF"},
      {4, kTypeCardinal, 0xDEADBEEF, "\xEF\xBE\xAD\xDE"},
      {5, kTypeLongInt, -1, "\xFF\xFF\xFF\xFF"},
      {6, kTypeDouble, -2.5, std::string(f.begin(), f.end())},
  };
  for (const BlockCase& c : cases) {
    SCOPED_TRACE(c.Item);
    Writes().Clear();
    Put(3000u + static_cast<std::uint32_t>(c.Item) - 1, c.Type, c.Value);
    ASSERT_EQ(Writes().Count(), 1u);
    const Request& r = Writes().Items().front();
    EXPECT_EQ((Queued{r.Station, KindByte(r.Kind), r.Item}), (Queued{1, 18, static_cast<std::uint16_t>(c.Item)}));
    EXPECT_EQ(r.Block, &Block());
    EXPECT_EQ(r.Data.str(), c.Data);
  }
  // GetInput reads back what was stored.
  EXPECT_EQ(GetDouble(Get(3005, kTypeDouble)), -2.5);
  EXPECT_EQ(GetU16(Get(3001, kTypeWord)), 0xBEEF);
}

TEST_F(Outputs, BlockItemWithWrongTypeCodeIsWrittenUnchanged) {
  const std::int32_t before = Block().Items[6].Value;  // 4 until read
  Put(3005, kTypeWord, 7);
  EXPECT_EQ(Block().Items[6].Value, before);
  ASSERT_EQ(Writes().Count(), 1u);
  EXPECT_EQ(Writes().Items().front().Data.str(), std::string("\x04\x00\x00", 3));
  Writes().Clear();
  Put(3006, kTypeByte, 1);  // an input item
  EXPECT_TRUE(Writes().Empty());
}

TEST_F(Outputs, BlockReadCommand) {
  Put(2999, kTypeBool, 0);
  ASSERT_EQ(Requests(Reads()), (std::vector<Queued>{{1, 17, 1}}));
  EXPECT_EQ(Reads().Items().front().Block, &Block());
  EXPECT_EQ(LastEvent(), Utf8ToCp1250("ST1 - čtení MB (memory block)"));
}

TEST_F(Outputs, QqWriteStoresQueuesAndReports) {
  Put(4000, kTypeDouble, 12.5);
  const QqVariable& q = *St(1).QqVariables;
  EXPECT_EQ(q.FloatValue, 12.5f);
  EXPECT_EQ(LastEvent(), "ST1 - QQ[BA.01.0D]=12.50");
  ASSERT_EQ(Writes().Count(), 1u);
  EXPECT_EQ(Writes().Items().front().Kind, RequestKind::QqWrite);
  EXPECT_EQ(Writes().Items().front().Data.str(), std::string("\xBA\x01\x0D\x00\x00\x48\x41", 7));
  // A LONGINT is written from its integer value, whatever the direction.
  Put(4002, kTypeLongInt, -2);
  EXPECT_EQ(Writes().Items().back().Data.str(), std::string("\x01\x02\x09\xFE\xFF\xFF\xFF", 7));
  // A type code the variable does not take, and a STRING, queue nothing.
  Writes().Clear();
  ClearEvents();
  Put(4000, kTypeText, 0);
  Put(4000, kTypeBuffer, 0);
  EXPECT_TRUE(Writes().Empty());
  EXPECT_TRUE(Events().empty());
  Put(4001, kTypeByte, 3);
  EXPECT_TRUE(Writes().Empty());
  Put(4000, kTypeShortInt, 0xFE);
  EXPECT_EQ(St(1).QqVariables->FloatValue, -2.0f);
}

TEST_F(Outputs, SampleSelections) {
  const std::pair<double, std::uint16_t> indexes[] = {{0, 1}, {529, 1}, {528, 528}, {17, 17}};
  for (auto [written, stored] : indexes) {
    Put(60002, kTypeWord, written);
    EXPECT_EQ(S().Samples.HistorySampleIndex, stored);
  }
  const std::pair<double, std::uint8_t> periods[] = {{0, 1}, {2, 2}, {3, 3}, {4, 1}};
  for (auto [written, stored] : periods) {
    Put(60001, kTypeByte, written);
    EXPECT_EQ(S().Samples.HistoryPeriod, stored);
  }
  Put(60000, kTypeByte, 2);
  EXPECT_EQ(S().Samples.SampleStation, 2);
  Put(60292, kTypeBool, 1);
  EXPECT_EQ(S().Engine.SampleKindSwitch, 1);
  Put(60022, kTypeBool, 1);
  EXPECT_EQ(S().Samples.SampleFileFlag, 1);
  Put(487, kTypeBool, 1);
  EXPECT_EQ(S().Host.OnDemandBlock, 1);
  Put(65398, kTypeBool, 1);
  EXPECT_EQ(S().Config.Beep, 1);
  Put(486, kTypeDouble, 42);
  EXPECT_EQ(S().Engine.SentCount.value(), 42.0);
}

TEST_F(Outputs, SampleReadoutWithoutStationOnlyClears) {
  std::vector<std::uint8_t> buffer(kHostBufferSize, 0);
  SetBufferAddr(S(), 65532, buffer.data());
  const std::vector<std::uint8_t> initial = buffer;
  (*S().Samples.HistorySamples)[3].Time[0] = 9;
  Put(60003, kTypeBool, 0);
  EXPECT_EQ((*S().Samples.HistorySamples)[3].Time[0], 0);
  EXPECT_TRUE(Reads().Empty());
  EXPECT_EQ(buffer, initial);
  EXPECT_EQ(S().Samples.HistorySamplesActive, 0);
}

TEST_F(Outputs, SampleReadoutQueuesTheBlockReads) {
  const std::tuple<int, int, std::uint32_t> kinds[] = {{1, 0, 72}, {2, 0, 76}, {3, 0, 80}, {1, 1, 136}, {3, 1, 144}};
  std::vector<std::uint8_t> buffer(kHostBufferSize, 0);
  SetBufferAddr(S(), 65532, buffer.data());
  Put(60000, kTypeByte, 2);
  for (auto [period, table, kind] : kinds) {
    Reads().Clear();
    Put(60001, kTypeByte, period);
    Put(60292, kTypeBool, table);
    buffer[8] = 5;
    Put(60003, kTypeBool, 1);
    ASSERT_EQ(Reads().Count(), 88u);
    EXPECT_EQ(KindByte(Reads().Items().front().Kind), kind);
    EXPECT_EQ(Reads().Items().front().Item, 0x8000);
    EXPECT_EQ(Reads().Items().back().Item, 0x8000 + 186 * 87);
    EXPECT_EQ(Reads().Items().back().Station, 2);
    EXPECT_EQ(S().Samples.SampleReadoutStation, 2);
    EXPECT_EQ(S().Samples.HistorySamplesActive, 1);
    EXPECT_EQ(buffer[8], 0);
    EXPECT_EQ(buffer[24], 1);
  }
  EXPECT_EQ(Bytes(Get(60018, kTypeBool))[0], 1);
}

TEST(SampleFile, StationCodes) {
  EXPECT_EQ(StationCode(7), "07");
  EXPECT_EQ(StationCode(99), "99");
  EXPECT_EQ(StationCode(100), "A0");
  EXPECT_EQ(StationCode(123), "C3");
}

TEST_F(Outputs, SampleFileNameAndContent) {
  S().Config.CucPath = (dir.path() / "").string();
  auto& samples = *S().Samples.HistorySamples;
  samples[1].Time = {17, 8, 20, 0, 0, 0};
  samples[528].Values[7] = std::string("\x01\x02\x03", 3);
  samples[528].Status = 0x55;
  St(2).Address = 7;
  Put(60000, kTypeByte, 2);
  Put(60001, kTypeByte, 2);
  Put(60003, kTypeBool, 1);  // takes the read-out station and clears the samples
  samples[1].Time = {17, 8, 20, 0, 0, 0};
  samples[528].Status = 0x55;
  samples[528].Values[7] = std::string("\x01\x02\x03", 3);
  EXPECT_EQ(SampleFileName(S()), "07270820.CUC");
  Put(60021, kTypeBool, 1);
  EXPECT_EQ(S().Samples.SampleFileFlag, 1);
  const std::string bytes = FileBytes(dir.path() / "07270820.CUC");
  ASSERT_EQ(bytes.size(), 16368u);
  EXPECT_EQ(bytes.substr(0, 7), std::string("\x11\x08\x14\x00\x00\x00\x00", 7));
  EXPECT_EQ(bytes.substr(16368 - 31 + 6, 1), "\x55");
  EXPECT_EQ(bytes.substr(16368 - 3), "\x01\x02\x03");
  // A station with QQ variables takes its reference from sample 2.
  samples[2].Time = {33, 9, 1, 0, 0, 0};
  S().Samples.SampleReadoutStation = 1;
  St(1).Address = 123;
  EXPECT_EQ(SampleFileName(S()), "C3230901.CUC");
}

TEST_F(Outputs, SampleFileThatCannotBeCreatedClearsTheFlag) {
  S().Config.CucPath = (dir.path() / "missing" / "").string();
  S().Samples.SampleFileFlag = 1;
  Put(60021, kTypeBool, 1);
  EXPECT_EQ(S().Samples.SampleFileFlag, 0);
}

// --- History commands -------------------------------------------------------------

TEST_F(Outputs, HistorySelectionAndRecordIndex) {
  Put(65400, kTypeSmallInt, 3);  // no such station
  EXPECT_EQ(S().History.Query.HistoryState, HistoryPhase::InvalidSelection);
  EXPECT_EQ(S().History.Query.HistoryStation, 1);
  S().History.ImageSlot(2) = std::make_unique<HistoryImage>();
  const std::uint8_t seconds[4] = {0x80, 0xC8, 0x4D, 0x00};  // 5097600: 29.2.2000
  std::memcpy(S().History.ImageSlot(2)->Bytes.data() + 10 * 7 + 2, seconds, 4);
  Put(65410, kTypeWord, 7);
  Put(65400, kTypeSmallInt, 2);
  EXPECT_EQ(S().History.Query.HistoryStation, 2);
  EXPECT_EQ(S().History.Query.HistoryState, HistoryPhase::Selected);
  EXPECT_EQ(S().History.Query.DateWords, (std::array<std::uint16_t, 6>{29, 2, 2000, 0, 0, 0}));
  Put(65401, kTypeSmallInt, 9);
  EXPECT_EQ(S().History.Query.HistoryState, HistoryPhase::InvalidSelection);
  Put(65401, kTypeSmallInt, 8);
  EXPECT_EQ(S().History.Query.HistoryUser, 8);
  EXPECT_EQ(S().History.Query.HistoryState, HistoryPhase::Selected);
  Put(65406, kTypeDouble, 120);
  EXPECT_EQ(S().History.Query.HistoryTimeout.value(), 120.0);
}

TEST_F(Outputs, HistoryReadoutStartAndAbort) {
  S().History.Query.HistoryState = HistoryPhase::ReadingRecords;
  Put(65407, kTypeBool, 1);
  EXPECT_TRUE(Reads().Empty());
  S().History.Query.HistoryState = HistoryPhase::Finished;
  Put(65401, kTypeSmallInt, 3);
  Put(65407, kTypeBool, 1);
  EXPECT_EQ(S().History.Query.HistoryState, HistoryPhase::ReadingPositions);
  EXPECT_EQ(LastEvent(), Utf8ToCp1250("Start čtení HDB"));
  ASSERT_EQ(Requests(Reads()), (std::vector<Queued>{{1, 16, 0}}));
  EXPECT_EQ(Reads().Items().front().Data.str(), std::string("\x00\x00\x01\xBA\x01\x0D\xBA\x01\x0E\xBA\x01\x07", 12));
  Writes().Insert(Request{1, RequestKind::WriteBO, 1, {}, nullptr});
  S().Engine.ThreadPhase = Phase::AwaitAnswer;
  S().Engine.LastSent = "frame";
  Put(65408, kTypeBool, 1);
  EXPECT_EQ(S().History.Query.HistoryState, HistoryPhase::Aborted);
  EXPECT_EQ(LastEvent(), Utf8ToCp1250("Přerušeno čtení HDB"));
  EXPECT_TRUE(Reads().Empty() && Writes().Empty());
  EXPECT_EQ(S().Engine.ThreadPhase, Phase::Idle);
  EXPECT_TRUE(S().Engine.LastSent.empty());
  ClearEvents();
  Put(65408, kTypeBool, 1);  // not reading: nothing
  EXPECT_TRUE(Events().empty());
}

TEST_F(Outputs, HistorySaveWritesEveryImage) {
  S().History.ImageSlot(2) = std::make_unique<HistoryImage>();
  Put(65415, kTypeBool, 1);
  EXPECT_TRUE(std::filesystem::exists(dir.path() / "TEST2.hdb"));
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "TEST1.hdb"));
}

TEST_F(Outputs, LineReset) {
  Reads().Insert(Request{1, RequestKind::ReadBI, 1, {}, nullptr});
  S().Engine.ThreadPhase = Phase::RtsLead;
  Put(65531, kTypeDouble, 1);
  EXPECT_EQ(Reads().Count(), 1u);
  Put(65531, kTypeBool, 0);
  EXPECT_TRUE(Reads().Empty());
  EXPECT_EQ(S().Engine.ThreadPhase, Phase::Idle);
}

TEST_F(Outputs, PendingWriteUsesTheOriginalNumbering) {
  Put(65534, kTypeDouble, 501.7);
  Put(65533, kTypeDouble, 1);
  EXPECT_EQ(S().Host.HostWriteChannel, 501);
  Put(65535, kTypeBool, 1);
  EXPECT_EQ(St(2).BinarInValue[1], 1);
  EXPECT_EQ(S().Host.HostWritePending, 1);
  Put(65534, kTypeDouble, 194);
  Put(65533, kTypeDouble, 7.25);
  Put(65535, kTypeDouble, 0);  // any type code applies the pending write
  EXPECT_EQ(St(1).AnalogInValue[2].value(), 7.25);
  Put(65534, kTypeDouble, 1100);  // station 3 does not exist
  Put(65535, kTypeBool, 1);
  Put(65535, kTypeBool, 0);
  Put(65534, kTypeDouble, 1);
  Put(65533, kTypeDouble, 0);
  Put(65535, kTypeBool, 0);  // not pending: nothing
  EXPECT_EQ(St(1).BinarInValue[1], 0);
  Put(65534, kTypeDouble, -1);  // wraps like a word
  EXPECT_EQ(S().Host.HostWriteChannel, 65535);
}

// --- Modem ----------------------------------------------------------------------

TEST_F(Outputs, ModemConnectAndDisconnect) {
  Put(StatusOf(2, StatusChannel::out_connect_modem), kTypeBool, 1);
  EXPECT_EQ(St(2).Flags.in_connecting_modem, 1);
  St(2).Flags.in_connected_modem = 1;
  St(1).Flags.in_now_comm = 1;
  Reads().Insert(Request{2, RequestKind::ReadBI, 1, {}, nullptr});
  Put(StatusOf(2, StatusChannel::out_connect_modem), kTypeBool, 0);
  EXPECT_TRUE(Reads().Empty());
  EXPECT_EQ(St(2).Flags.in_connecting_modem, 0);
  EXPECT_EQ(St(2).Flags.in_connected_modem, 0);
  EXPECT_EQ(St(2).Flags.in_last_com_err, 1);
  EXPECT_EQ(St(1).Flags.in_now_comm, 0);
  EXPECT_EQ(St(1).Flags.in_last_com_err, 0);
}

TEST_F(Outputs, HangUpReportsTheLastConnectingStation) {
  MemoryLine line;
  line.Open = true;
  EXPECT_EQ(ModemHangUp(line, S().Config, S().Log), 0);
  EXPECT_TRUE(line.Written().empty());
  St(1).Flags.in_connecting_modem = 1;
  St(2).Flags.in_connecting_modem = 1;
  St(2).Flags.in_connected_modem = 1;
  S().Engine.ThreadPhase = Phase::Silence;
  EXPECT_EQ(ModemHangUp(line, S().Config, S().Log), 2);
  EXPECT_EQ(line.Written(), "\r");
  EXPECT_EQ(S().Engine.ThreadPhase, Phase::Silence);
  for (int n = 1; n <= 2; ++n) {
    EXPECT_EQ(St(n).Flags.in_connecting_modem + St(n).Flags.in_connected_modem + St(n).Flags.in_now_comm, 0);
  }
}

TEST_F(Outputs, AnyChannelWithAnyTypeCodeIsSafe) {
  S().Config.CucPath = (dir.path() / "").string();
  for (std::uint32_t type = 0; type <= 13; ++type) {
    for (double x : {0.0, 1.0}) {
      for (std::uint32_t channel = 0; channel <= 65540; ++channel) Put(channel, type, x);
    }
  }
  SUCCEED();
}

}  // namespace
}  // namespace qz::test
