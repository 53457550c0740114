#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "history/history_file.h"
#include "history/history_readout.h"
#include "host/driver_state.h"

namespace qz {
namespace {

struct Chunk {
  std::uint32_t kind;
  std::uint16_t item;
  int count;
};

void ExpectPlan(std::int32_t u, std::int32_t t, const std::vector<Chunk>& expected) {
  const auto plan = HistoryReadoutRequests(3, u, t);
  ASSERT_EQ(plan.size(), expected.size()) << u << ".." << t;
  for (std::size_t i = 0; i < plan.size(); ++i) {
    EXPECT_EQ(plan[i].Station, 3);
    EXPECT_EQ(KindByte(plan[i].Kind), expected[i].kind) << i;
    EXPECT_EQ(plan[i].Item, expected[i].item) << i;
    EXPECT_EQ(plan[i].Data.size(), 1u);
    EXPECT_EQ(plan[i].Data.byte(0), expected[i].count) << i;
  }
}

TEST(HistoryReadout, PlansChunksOf192Bytes) {
  ExpectPlan(100, 130, {{240, 0x03E8, 192}, {240, 0x04A8, 108}});
  ExpectPlan(49990, 2, {{247, 0xA0BC, 100}, {240, 0x0000, 20}});
  ExpectPlan(49990, 0, {{247, 0xA0BC, 100}});
  ExpectPlan(0, 193 / 10 + 1, {{240, 0x0000, 192}, {240, 0x00C0, 8}});
  // A record across the bank boundary is read with the bank of its start.
  ExpectPlan(6553, 6554, {{240, 0xFFFA, 10}});
  ExpectPlan(7, 7, {});
  ExpectPlan(-1, 5, {});
  ExpectPlan(0, 50001, {});
}

TEST(HistoryTime, CalendarFromSeconds) {
  struct Case {
    std::uint32_t seconds;
    HistoryDate date;
  };
  for (const Case& c : std::vector<Case>{{0, {1, 1, 2000, 0, 0, 0}},
                                         {5097600, {29, 2, 2000, 0, 0, 0}},
                                         {5184000, {1, 3, 2000, 0, 0, 0}},
                                         {31622400, {1, 1, 2001, 0, 0, 0}},
                                         {36806399, {1, 3, 2001, 23, 59, 59} /* no 29 Feb 2001 */},
                                         {86399, {1, 1, 2000, 23, 59, 59}}}) {
    const HistoryDate d = DecodeHistoryTime(c.seconds);
    EXPECT_EQ(d.Day, c.date.Day) << c.seconds;
    EXPECT_EQ(d.Month, c.date.Month) << c.seconds;
    EXPECT_EQ(d.Year, c.date.Year) << c.seconds;
    EXPECT_EQ(d.Hour, c.date.Hour) << c.seconds;
    EXPECT_EQ(d.Minute, c.date.Minute) << c.seconds;
    EXPECT_EQ(d.Second, c.date.Second) << c.seconds;
  }
}

TEST(HistoryImage, RecordsAndClippedStores) {
  HistoryImage image;
  EXPECT_EQ(StoreHistoryBytes(image, 10, std::string("\x34\x12\x01\x00\x00\x00\x00\x00\xC0\x3F", 10)), 10u);
  const HistoryRecord r = ReadHistoryRecord(image, 1);
  EXPECT_EQ(r.Code, 0x1234);
  EXPECT_EQ(r.Seconds, 1u);
  EXPECT_EQ(r.ValueBits, 0x3FC00000u);
  EXPECT_EQ(StoreHistoryBytes(image, 499998, "abc"), 2u);
  EXPECT_EQ(StoreHistoryBytes(image, 500000, "abc"), 0u);
  EXPECT_EQ(ReadHistoryRecord(image, 50000).Code, 0);
}

class HistoryFiles : public ::testing::Test {
 protected:
  HistoryFiles() {
    dir = std::filesystem::temp_directory_path() / ("qz_hdb_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    ::setenv("QZ_HDB_DIR", dir.c_str(), 1);
    InitDriverState(state);
    state.Config.DriverName = "DRV";
    state.Config.StationCount = 2;
  }
  ~HistoryFiles() override {
    ::unsetenv("QZ_HDB_DIR");
    std::filesystem::remove_all(dir);
  }
  std::filesystem::path dir;
  DriverState state;
};

TEST_F(HistoryFiles, MissingShortAndWholeFiles) {
  EXPECT_EQ(HistoryFileName(state.Config.DriverName.view(), 2), (dir / "DRV2.hdb").string());
  EXPECT_FALSE(LoadHistory(HdbFilesOf(state), 1));
  {
    std::ofstream f(dir / "DRV1.hdb", std::ios::binary);
    f << std::string(499999, '\x7F');
  }
  auto shortImage = LoadHistory(HdbFilesOf(state), 1);
  ASSERT_TRUE(shortImage);
  EXPECT_EQ(std::count(shortImage->Bytes.begin(), shortImage->Bytes.end(), 0), 500000);

  HistoryImage image;
  image.Bytes[0] = 1;
  image.Bytes[499999] = 2;
  ASSERT_TRUE(SaveHistory(HdbFilesOf(state), 2, image));
  EXPECT_EQ(std::filesystem::file_size(dir / "DRV2.hdb"), 500000u);
  auto loaded = LoadHistory(HdbFilesOf(state), 2);
  ASSERT_TRUE(loaded);
  EXPECT_EQ(loaded->Bytes, image.Bytes);
}

TEST_F(HistoryFiles, SelectedRecordNeedsAUsableSelection) {
  state.History.Query.HistoryStation = 2;
  state.History.Query.HistoryRecordIndex = 3;
  EXPECT_FALSE(UpdateHistoryDateWords(state.History, state.Config.StationCount));  // no image
  state.History.ImageSlot(2) = std::make_unique<HistoryImage>();
  StoreHistoryBytes(*state.History.ImageSlot(2), 32, std::string("\x00\x85\xE2\x01", 4));  // 31622400
  state.History.Query.HistoryBusy = 1;
  EXPECT_FALSE(UpdateHistoryDateWords(state.History, state.Config.StationCount));
  state.History.Query.HistoryBusy = 0;
  ASSERT_TRUE(UpdateHistoryDateWords(state.History, state.Config.StationCount));
  EXPECT_EQ(state.History.Query.DateWords, (std::array<std::uint16_t, 6>{1, 1, 2001, 0, 0, 0}));
  state.History.Query.HistoryRecordIndex = 50000;
  EXPECT_FALSE(SelectedHistoryRecord(state.History, state.Config.StationCount));
  state.History.Query.HistoryRecordIndex = 3;
  state.History.Query.HistoryStation = 3;
  EXPECT_FALSE(SelectedHistoryRecord(state.History, state.Config.StationCount));
}

}  // namespace
}  // namespace qz
