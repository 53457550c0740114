// What the harness reports: the figures of the driver's own statistics lines
// as numbers, and the JSON line with time stamps, numbers and each event once.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <regex>

#include "diag/cp1250.h"
#include "diag/statistics.h"
#include "diag/window_model.h"
#include "engine/engine_report.h"
#include "harness_fixture.h"
#include "host/driver_state.h"
#include "scan.h"
#include "statistics.h"
#include "view.h"

namespace qzhost::test {
namespace {

std::vector<std::string> DriverStatusLines(const qz::DriverState& state) {
  qz::WindowModel window;
  qz::ShowStatistics(qz::StatisticsFigures(state.Engine), &window);
  std::vector<std::string> lines;
  for (const auto& l : window.Snapshot().StatusLines) lines.push_back(qz::Cp1250ToUtf8(l));
  return lines;
}

TEST(StatisticsTest, TheDriversLinesGiveTheirFigures) {
  auto state = std::make_unique<qz::DriverState>();
  qz::InitDriverState(*state);
  qz::EngineState& e = state->Engine;
  e.CycleMs = 12.0, e.MaxCycleMs = 31.5, e.CycleSumMs = 100.0, e.CycleCount = 8;
  e.SentCount = 123456.0, e.ReceivedCount = 123450.0, e.ErrorCount = 6.0;
  const Statistics s = ParseStatistics(DriverStatusLines(*state));
  EXPECT_EQ(s.CycleMs, 12.0);
  EXPECT_EQ(s.MaxCycleMs, 31.5);
  EXPECT_EQ(s.AverageCycleMs, 12.5);
  EXPECT_EQ(s.PendingReads, 0.0);
  EXPECT_EQ(s.PendingWrites, 0.0);
  EXPECT_EQ(s.Sent, 123456.0);
  EXPECT_EQ(s.Received, 123450.0);
  EXPECT_EQ(s.Errors, 6.0);
  ASSERT_TRUE(s.MemoryKb.has_value());
  EXPECT_GT(*s.MemoryKb, 0);
}

TEST(StatisticsTest, GroupedThousandsAndDecimalsReadAsOneNumber) {
  const struct {
    const char* Text;
    std::vector<double> Numbers;
  } cases[] = {
      {"Alokovaná pamět: 12 345 678 kB", {12345678}},
      {"Alokovaná pamět: 868 kB", {868}},
      {"čtení: 3, zápis: 0", {3, 0}},
      {"Hlavní thread: 1.5ms (2,5ms max, 0.0ms průměr)", {1.5, 2.5, 0}},
      {"Kom.zpráv: Vysláno: 1 000, Přijato: 999, Chyb: 1", {1000, 999, 1}},
  };
  for (const auto& c : cases) EXPECT_EQ(NumbersIn(c.Text), c.Numbers) << c.Text;
}

TEST(JsonLineTest, NumbersTimeStampsStatesAndTheNewEvents) {
  LayoutFile file;
  ASSERT_TRUE(file.error().empty()) << file.error();
  RecordingHost host;
  host.Values = {{1, 1}, {193, 2.5}, {7001, 12.5}, {1001, 300}, {1481, 42}};
  ActivityTracker activity({"Pump", "Pump 2"});
  Reading r = Scanner(host, file.layout()).Scan(activity);
  r.Seconds = 1.23456;
  r.Iso = IsoText(0.25);
  r.Window.Status = {"Hlavní thread: 10.0ms (21.0ms max, 10.1ms průměr)", "", "Kom.zpráv: Vysláno: 15, Přijato: 14, Chyb: 0"};
  r.Stats = ParseStatistics(r.Window.Status);
  r.NewEvents = {{1.2, "00:00:01.200", "t1", "first"}, {1.23, "00:00:01.230", "t2", "second"}};

  const auto j = nlohmann::json::parse(JsonLine(r));
  EXPECT_DOUBLE_EQ(j["t"].get<double>(), 1.235);  // to the millisecond
  EXPECT_TRUE(std::regex_match(j["time"].get<std::string>(),
                               std::regex(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3})")));
  EXPECT_EQ(j["statistics"]["cycle_ms"], 10.0);
  EXPECT_EQ(j["statistics"]["received"], 14.0);
  EXPECT_EQ(j["statistics"]["errors"], 0.0);
  EXPECT_TRUE(j["statistics"]["pending_reads"].is_null());  // the line was empty

  const auto& pump = j["stations"][0];
  EXPECT_EQ(pump["state"], "waiting");
  EXPECT_EQ(pump["bi"].get<std::string>().substr(0, 2), "1?");
  EXPECT_EQ(pump["ai"][0], 2.5);
  EXPECT_TRUE(pump["ai"][1].is_null());
  const auto& pump2 = j["stations"][1];
  EXPECT_EQ(pump2["status"]["MsgCounter"], 42.0);
  ASSERT_EQ(pump2["qq"].size(), 3u);
  EXPECT_EQ(pump2["qq"][0]["channel"], 7001);
  EXPECT_EQ(pump2["qq"][0]["address"], "BA.01.0D");
  EXPECT_EQ(pump2["qq"][0]["value"], 12.5);
  ASSERT_EQ(pump2["blocks"].size(), 1u);
  EXPECT_EQ(pump2["blocks"][0]["read_channel"], 1000);
  EXPECT_EQ(pump2["blocks"][0]["items"][0]["value"], 300.0);
  EXPECT_EQ(pump2["blocks"][0]["items"][1]["type"], "BYTE");

  ASSERT_EQ(j["events"].size(), 2u);
  EXPECT_EQ(j["events"][0]["text"], "first");
  EXPECT_EQ(j["events"][0]["time"], "t1");
  EXPECT_EQ(j["events"][1]["t"], 1.23);
}

TEST(JsonLineTest, FilesAtTheStartAndTheEnd) {
  const FileLocations files{"/hdb/", "", "/cuc/"};
  const auto start = nlohmann::json::parse(JsonFiles(0, "x", "start", files));
  EXPECT_EQ(start["start"], true);
  EXPECT_EQ(start["files"]["hdb"], "/hdb/");
  EXPECT_TRUE(start["files"]["log"].is_null());
  EXPECT_EQ(start["files"]["cuc"], "/cuc/");
}

TEST(ScreenTest, ShowsFilesQqBlocksStatesAndStampedEvents) {
  LayoutFile file;
  ASSERT_TRUE(file.error().empty()) << file.error();
  RecordingHost host;
  host.Values = {{7001, 12.5}};
  ActivityTracker activity({"Pump", "Pump 2"});
  Reading r = Scanner(host, file.layout()).Scan(activity);
  r.Iso = IsoText(0);
  const std::vector<StampedEvent> events{{1, "12:34:56.789", "", "    <<<-- Pump - BI "}};
  const FileLocations files{"/hdb/", "/log/QZDRK485_TEST.LOG", "/cuc/"};
  const std::string screen = Screen(r, {&files, "typed: done", &events});
  for (const char* part : {"HDB files: /hdb/", "log: /log/QZDRK485_TEST.LOG", ".CUC files: /cuc/",
                           "QQ 7001 [BA.01.0D] REAL READ = 12.50", "MB read 1000:", "#2 Pump 2 (address 11)  waiting",
                           "12:34:56.789  <<<-- Pump - BI", "typed: done"}) {
    EXPECT_NE(screen.find(part), std::string::npos) << part << "\n" << screen;
  }
}

}  // namespace
}  // namespace qzhost::test
