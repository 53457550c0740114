// The decoding of HDB and sample files, the times the readers print and
// parse, and the request frames read back out of the log.

#include <gtest/gtest.h>

#include <string>

#include "civil_time.h"
#include "cuc_file.h"
#include "hdb_file.h"
#include "host/driver_state.h"
#include "request_text.h"

namespace {

using namespace qz::readers;

std::string Record(std::uint16_t code, std::uint32_t seconds, std::uint32_t bits) {
  std::string r;
  for (int i = 0; i < 2; ++i) r += static_cast<char>((code >> (8 * i)) & 0xFF);
  for (int i = 0; i < 4; ++i) r += static_cast<char>((seconds >> (8 * i)) & 0xFF);
  for (int i = 0; i < 4; ++i) r += static_cast<char>((bits >> (8 * i)) & 0xFF);
  return r;
}

std::string Image(const std::string& records) { return records + std::string(500000 - records.size(), '\0'); }

TEST(HdbFile, RecordFieldsAreLeastSignificantByteFirst) {
  std::string error;
  const auto content = DecodeHdb(Image(std::string(10, '\0') + Record(0x0102, 5097600, 0x41480000)), error);
  ASSERT_TRUE(content) << error;
  EXPECT_TRUE(content->Warnings.empty());
  ASSERT_EQ(content->Records.size(), 50000u);
  EXPECT_TRUE(content->Records[0].Empty);
  const HdbRecord& r = content->Records[1];
  EXPECT_FALSE(r.Empty);
  EXPECT_EQ(r.Index, 1u);
  EXPECT_EQ(r.Code, 0x0102);
  EXPECT_EQ(r.Seconds, 5097600u);
  EXPECT_EQ(ValueOf(r.ValueBits).Number, 12.5);
  HistoryClock clock;
  EXPECT_EQ(IsoText(clock.At(r.Seconds)), "2000-02-29T00:00:00");
}

TEST(HdbFile, PatternsThatAreNoNumberKeepTheirText) {
  struct Row {
    std::uint32_t Bits;
    const char* Special;
  };
  for (const Row& row : {Row{0x7F800000, "+infinity"}, Row{0xFFC00000, "-infinity"}, Row{0x7FC00001, "NaN/x87 err"}}) {
    const HdbValue v = ValueOf(row.Bits);
    EXPECT_FALSE(v.IsNumber) << std::hex << row.Bits;
    EXPECT_EQ(v.Special, row.Special);
  }
  EXPECT_EQ(ValueOf(0xC0200000).Number, -2.5);
  EXPECT_EQ(ValueText(ValueOf(0x3DCCCCCD).Number), "0.1") << "single precision, not its double expansion";
}

TEST(HdbFile, FilterOnRangeTimeAndCode) {
  std::vector<HdbRecord> records;
  for (std::size_t i = 0; i < 6; ++i) {
    records.push_back({i, static_cast<std::uint16_t>(i % 2 + 1), static_cast<std::uint32_t>(1000 + 60 * i), 0, i == 5});
  }
  struct Row {
    const char* Name;
    HdbFilter Filter;
    std::vector<std::size_t> Shown;
  };
  HdbFilter range, time, code, all;
  range.First = 1;
  range.Last = 3;
  time.Since = 1060;
  time.Until = 1180;
  code.Codes = {2};
  all.WithEmpty = true;
  for (const Row& row : {Row{"none", HdbFilter{}, {0, 1, 2, 3, 4}}, Row{"range", range, {1, 2, 3}},
                         Row{"time", time, {1, 2, 3}}, Row{"code", code, {1, 3}}, Row{"all", all, {0, 1, 2, 3, 4, 5}}}) {
    std::vector<std::size_t> shown;
    for (const HdbRecord& r : records) {
      if (row.Filter.Matches(r)) shown.push_back(r.Index);
    }
    EXPECT_EQ(shown, row.Shown) << row.Name;
  }
}

TEST(HdbFile, SummaryFindsGapsInTimeAcrossTheRingsWrap) {
  // A wrapped ring: records 0..2 are the newest, 3..5 the oldest; a pause
  // of an hour between the record at index 5 and the one at index 0.
  std::vector<HdbRecord> records;
  const std::uint32_t times[] = {5000, 5060, 5120, 1000, 1060, 1120};
  for (std::size_t i = 0; i < 6; ++i) records.push_back({i, static_cast<std::uint16_t>(i < 3 ? 1 : 2), times[i], 0, false});
  records.push_back({6, 0, 0, 0, true});
  const HdbSummary s = Summarise(records, 0);
  EXPECT_EQ(s.Records, 7u);
  EXPECT_EQ(s.Empty, 1u);
  EXPECT_EQ(*s.FirstTime, 1000u);
  EXPECT_EQ(*s.LastTime, 5120u);
  EXPECT_EQ(s.Codes.at(1), 3u);
  EXPECT_EQ(s.Codes.at(2), 3u);
  EXPECT_EQ(s.StepsBack, 1u);
  EXPECT_EQ(s.GapThreshold, 180u);
  ASSERT_EQ(s.Gaps.size(), 1u);
  EXPECT_EQ(s.Gaps[0].BeforeIndex, 5u);
  EXPECT_EQ(s.Gaps[0].AfterIndex, 0u);
  EXPECT_EQ(Summarise(records, 4000).Gaps.size(), 0u) << "a threshold given by the user";
}

TEST(CucFile, TimeStatusAndFloat24Values) {
  std::string sample = {26, 12, 10, 13, 56, 55, 3};
  sample += std::string("\x40\x00\x00\xC1\x40\x00\x41\x80\x00\x00\x00\x00", 12);
  sample += std::string(12, '\0');
  std::string bytes = sample + std::string(31 * 527, '\0');
  std::string error;
  const auto content = DecodeCuc(bytes, error);
  ASSERT_TRUE(content) << error;
  EXPECT_TRUE(content->Warnings.empty());
  ASSERT_EQ(content->Samples.size(), 528u);
  const CucSample& s = content->Samples[0];
  ASSERT_TRUE(s.Time);
  EXPECT_EQ(IsoText(*s.Time), "2026-12-10T13:56:55");
  EXPECT_EQ(s.Status, 3);
  EXPECT_EQ(s.Values[0], 1.0);
  EXPECT_EQ(s.Values[1], -2.5);
  EXPECT_EQ(s.Values[2], 3.0);
  EXPECT_EQ(s.Values[3], 0.0);
  EXPECT_TRUE(content->Samples[1].Empty);
}

TEST(CucFile, StampsThatAreNoDateAreMarked) {
  std::string bytes = std::string{26, 13, 10, 13, 56, 55} + std::string(25, '\0');  // month 13
  bytes += std::string(31 * 527, '\0');
  std::string error;
  const auto content = DecodeCuc(bytes, error);
  ASSERT_TRUE(content);
  EXPECT_FALSE(content->Samples[0].Time);
  ASSERT_EQ(content->Warnings.size(), 1u);
  EXPECT_NE(content->Warnings[0].find("does not look like a sample file"), std::string::npos);
}

TEST(CivilTimes, UserTimesAndStationSecondsAgree) {
  struct Row {
    const char* Text;
    std::optional<std::int64_t> Seconds;
  };
  for (const Row& row : {Row{"2000-01-01", 0}, Row{"2000-02-29T00:00:00", 5097600}, Row{"2001-01-01 00:00", 31622400},
                         Row{"2026-12-10T13:56:55", 850226215}, Row{"2026-13-01", std::nullopt},
                         Row{"yesterday", std::nullopt}, Row{"2026-12-10X13:00", std::nullopt}}) {
    EXPECT_EQ(ParseUserTime(row.Text), row.Seconds) << row.Text;
  }
  HistoryClock clock;
  for (std::uint32_t s : {0u, 5097600u, 31622400u, 850226215u, 3000000000u}) {
    EXPECT_EQ(SecondsSince2000(clock.At(s)), s) << IsoText(clock.At(s));
  }
}

TEST(SentFrames, MessageHeaderAndItemOfEachKind) {
  qz::StationRecord station;
  station.NumMemoryIn = 2;
  station.MemoryIn[2].Address = 0x0303;
  station.NumMemoryOut = 3;
  station.MemoryOut[3].Address = 0x0406;
  struct Row {
    int Kind;
    std::string Body;
    const char* Item;
  };
  for (const Row& row : {
           Row{0, "B\x0F", "mask 0F"},
           Row{5, std::string("n\x06\x04\x03\x41\x40\x00", 7), "MO 3 at 0406h = 2.5"},
           Row{6, std::string("N\x03\x03\x03", 4), "MI 2 at 0303h, 3 bytes"},
           Row{15, std::string("QQ\xBA\x01\x06\x28\x00\x00\x00", 9), "BA.01.06 = 28 00 00 00 (40)"},
           Row{16, std::string("Qq\x00\x00\x01\xBA\x01\x0E", 8), "00.00.01 BA.01.0E"},
           Row{72, std::string("QNH\xBA\x80\xBA", 6), "samples 7..12"},
           Row{241, std::string("QN\xF1\xE8\x03\xC0", 6), "bytes 66536..66727 (records 6653..6672)"},
       }) {
    EXPECT_EQ(ItemText(row.Kind, row.Body, &station), row.Item) << row.Kind;
  }
  // Prefix 10 02, a direct header to station 5, body "B" 0F, check, suffix.
  const std::string frame("\x10\x02\x00\x07\x59\x01\x05\x01\x42\x0F\x16\x10\x03", 13);
  for (int prefix : {2, -1}) {
    const SentFrame f = SplitSentFrame(frame, prefix, 0);
    ASSERT_TRUE(f.Found) << prefix;
    EXPECT_EQ(f.Address, 5);
    EXPECT_EQ(f.Body, "B\x0F");
  }
  EXPECT_FALSE(SplitSentFrame(frame.substr(0, 9), 2, 0).Found) << "a frame cut short";
}

}  // namespace
