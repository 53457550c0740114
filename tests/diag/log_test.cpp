// The log file, the hex dump and the event list.

#include <gtest/gtest.h>

#include <memory>
#include <regex>
#include <sstream>
#include <thread>
#include <vector>

#include "diag/cp1250.h"
#include "diag/log.h"
#include "diag/texts.h"
#include "diag/window_model.h"
#include "support/temp_dir.h"

namespace qz {
namespace {

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t pos = 0;
  while (pos < text.size()) {
    const auto end = text.find("\r\n", pos);
    if (end == std::string::npos) {
      lines.push_back(text.substr(pos));
      break;
    }
    lines.push_back(text.substr(pos, end - pos));
    pos = end + 2;
  }
  return lines;
}

class LogFile : public ::testing::Test {
 protected:
  std::string LogText() const { return testing::ReadFile(dir.file("driver.log")); }

  testing::TempDir dir;
  testing::ScopedEnv root{"QZ_ROOT", dir.path().string()};
  qz::Log log;
};

// 7 December 2026, 3:04:05 local time.
std::time_t SeventhOfDecember() {
  std::tm t{};
  t.tm_year = 2026 - 1900;
  t.tm_mon = 11;
  t.tm_mday = 7;
  t.tm_hour = 3;
  t.tm_min = 4;
  t.tm_sec = 5;
  t.tm_isdst = -1;
  return std::mktime(&t);
}

TEST_F(LogFile, NothingIsWrittenUntilLoggingIsSwitchedOn) {
  log.SetFileName(dir.file("driver.log"));
  log.Line("PARfile ITEM", "BAUD");
  EXPECT_FALSE(std::filesystem::exists(dir.file("driver.log")));
}

TEST_F(LogFile, LinesCarryDateLabelAndTextEndedByCrLf) {
  log.SetFileName(dir.file("driver.log"));
  log.Enable("QZDRK485");
  log.Line("PARfile ITEM", "BAUD");
  log.Line("Init", "");
  const auto text = LogText();
  const auto lines = Lines(text);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_TRUE(std::regex_match(lines[0], std::regex(R"(\d{1,2}\.\d{1,2}\.\d{4} \d{1,2}:\d\d:\d\d PARfile ITEM : BAUD)")))
      << lines[0];
  EXPECT_TRUE(lines[1].ends_with("Init : ")) << "an empty text leaves the line ending in ' : '";
  EXPECT_TRUE(text.ends_with("\r\n"));
}

TEST_F(LogFile, TheFileIsAppendedToNotTruncated) {
  testing::WriteFile(dir.file("driver.log"), "earlier\r\n");
  log.SetFileName(dir.file("driver.log"));
  log.Enable("QZDRK485");
  log.Line("a", "b");
  EXPECT_TRUE(LogText().starts_with("earlier\r\n"));
}

TEST_F(LogFile, WholeLineIsCutTo255Characters) {
  log.SetFileName(dir.file("driver.log"));
  log.Enable("QZDRK485");
  log.Line("label", std::string(400, 'x'));
  EXPECT_EQ(Lines(LogText())[0].size(), 255u);
}

TEST_F(LogFile, TimeStampsComeFromTheClockTheLogIsGiven) {
  const std::time_t when = SeventhOfDecember();
  qz::Log clocked([when] { return when; });
  clocked.SetFileName(dir.file("driver.log"));
  clocked.Enable("QZDRK485");
  clocked.Line("Init", "x");
  EXPECT_EQ(LogText(), "7.12.2026 3:04:05 Init : x\r\n");
}

TEST(LogFormat, DateTimeTextIsDayMonthYearAndTime) {
  EXPECT_EQ(LogDateTimeText(SeventhOfDecember()), "7.12.2026 3:04:05");
  EXPECT_EQ(FormatLogLine("7.12.2026 3:04:05", "PARfile ITEM", "BAUD"), "7.12.2026 3:04:05 PARfile ITEM : BAUD");
}

TEST_F(LogFile, DefaultNameFollowsTheDriverNameInTheRootFolder) {
  log.Enable("A");
  EXPECT_EQ(log.FileName(), dir.file("QZDRK485_A.LOG"));
  log.Line("x", "y");
  EXPECT_TRUE(std::filesystem::exists(dir.file("QZDRK485_A.LOG")));
}

TEST_F(LogFile, AnExplicitNameWinsOverTheDefault) {
  log.SetFileName(dir.file("mine.log"));
  log.Enable("QZDRK485");
  EXPECT_EQ(log.FileName(), dir.file("mine.log"));
}

TEST_F(LogFile, BackslashesInTheNameReadAsFolders) {
  std::filesystem::create_directory(dir.path() / "sub");
  log.SetFileName(dir.path().string() + "\\sub\\x.log");
  log.Enable("QZDRK485");
  log.Line("x", "y");
  EXPECT_TRUE(std::filesystem::exists(dir.path() / "sub" / "x.log"));
}

TEST_F(LogFile, AFileThatCannotBeWrittenIsIgnored) {
  log.SetFileName(dir.file("missing-folder/x.log"));
  log.Enable("QZDRK485");
  log.Line("x", "y");
  log.SetFileName(dir.file("driver.log"));
  log.Line("x", "after");
  EXPECT_NE(LogText().find("x : after"), std::string::npos) << "a failed line must not block later ones";
}

TEST_F(LogFile, HexDumpWritesSixteenBytesALine) {
  log.SetFileName(dir.file("driver.log"));
  log.Enable("QZDRK485");
  std::string data;
  for (int i = 0; i < 17; ++i) data += static_cast<char>(i == 16 ? 0xAB : i);
  log.HexDump("Send", data);
  log.HexDump("Empty", "");
  const auto lines = Lines(LogText());
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_TRUE(lines[0].ends_with("Send : "));
  const std::string first = lines[1].substr(lines[1].find("Hex Dump : ") + 11);
  EXPECT_EQ(first, "00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F ");
  EXPECT_EQ(first.size(), 48u);
  EXPECT_TRUE(lines[2].ends_with("Hex Dump : AB "));
  EXPECT_TRUE(lines[3].ends_with("Empty : ")) << "empty data give only the label line";
}

TEST_F(LogFile, LinesFromTwoThreadsAreAllKept) {
  log.SetFileName(dir.file("driver.log"));
  log.Enable("QZDRK485");
  auto writer = [this](const char* who) {
    for (int i = 0; i < 200; ++i) log.Line(who, std::to_string(i));
  };
  std::thread a(writer, "A");
  std::thread b(writer, "B");
  a.join();
  b.join();
  EXPECT_EQ(Lines(LogText()).size(), 400u);
}

TEST(EventList, KeepsTheLastTwelveLines) {
  WindowModel w;
  EXPECT_EQ(w.Snapshot().EventList, std::vector<std::string>{"EventList"});
  for (int i = 1; i <= 13; ++i) AddEvent(&w, "message " + std::to_string(i));
  const auto events = w.Snapshot().EventList;
  ASSERT_EQ(events.size(), 12u);
  EXPECT_EQ(events.front(), "message 2");
  EXPECT_EQ(events.back(), "message 13");
}

TEST(EventList, WithoutAWindowNothingHappens) { AddEvent(nullptr, "lost on purpose"); }

TEST(WindowModel, StartsWithTheDesignCaptions) {
  const WindowView v = WindowModel().Snapshot();
  EXPECT_EQ(v.Caption, "QZ Driver");
  EXPECT_EQ(Cp1250ToUtf8(v.GroupCaption), "Stav ovladače");
  EXPECT_EQ(Cp1250ToUtf8(v.StatusLines[static_cast<int>(StatusLine::Transmit)]), "Nevyřízených požadavků:");
  EXPECT_FALSE(v.Visible);
  EXPECT_TRUE(v.Enabled);
  EXPECT_EQ(v.Width, 337);
  EXPECT_EQ(v.Height, 301);
}

TEST(WindowModel, CloseRequestLeavesItOpen) {
  WindowModel w;
  w.SetVisible(true);
  w.RequestClose();
  EXPECT_TRUE(w.Snapshot().Visible);
}

// The Windows window redraws only when the revision moved: a change that
// does not raise it would never be shown.
TEST(WindowModel, EveryChangeRaisesTheRevision) {
  struct Change {
    const char* name;
    void (*apply)(WindowModel&);
  };
  const Change changes[] = {
      {"event", [](WindowModel& w) { w.AddEvent("x"); }},
      {"caption", [](WindowModel& w) { w.SetCaption("x"); }},
      {"name", [](WindowModel& w) { w.SetLabelName("x"); }},
      {"version", [](WindowModel& w) { w.SetLabelVersion("x"); }},
      {"status line", [](WindowModel& w) { w.SetStatusLine(StatusLine::Mem, "x"); }},
      {"visible", [](WindowModel& w) { w.SetVisible(true); }},
      {"state", [](WindowModel& w) { w.SetState(WindowState::Minimized); }},
      {"focus", [](WindowModel& w) { w.Focus(); }},
      {"bounds", [](WindowModel& w) { w.SetBounds(1, 2, 3, 4); }},
      {"enabled", [](WindowModel& w) { w.SetEnabled(false); }},
  };
  WindowModel w;
  for (const auto& c : changes) {
    const std::uint64_t before = w.Revision();
    c.apply(w);
    EXPECT_GT(w.Revision(), before) << c.name;
    EXPECT_EQ(w.Snapshot().Revision, w.Revision()) << c.name;
  }
  const std::uint64_t settled = w.Revision();
  (void)w.Snapshot();
  w.RequestClose();
  EXPECT_EQ(w.Revision(), settled) << "reading and a refused close change nothing";
}

// The communication thread writes while the window's thread polls: every
// snapshot shows exactly the changes its revision counts, so a renderer
// that stops at a revision has seen all of them (and, under TSan, the two
// threads share nothing unguarded).
TEST(WindowModel, ASnapshotHoldsExactlyTheChangesItsRevisionCounts) {
  WindowModel w;
  const std::uint64_t base = w.Revision();
  constexpr int kEvents = 2000;
  std::thread writer([&] {
    for (int i = 1; i <= kEvents; ++i) w.AddEvent(std::to_string(i));
  });
  std::uint64_t last = base;
  while (last < base + kEvents) {
    if (w.Revision() == last) {
      std::this_thread::yield();
      continue;
    }
    const WindowView v = w.Snapshot();
    ASSERT_GE(v.Revision, last);
    last = v.Revision;
    const std::string expected = last == base ? "EventList" : std::to_string(last - base);
    ASSERT_EQ(v.EventList.back(), expected);
  }
  writer.join();
  EXPECT_EQ(w.Snapshot().EventList.back(), std::to_string(kEvents));
}

TEST(Cp1250, CzechTextsConvertBothWays) {
  const std::string cp(text::kEvtAccessLevel);
  EXPECT_EQ(Cp1250ToUtf8(cp), "Úroveň pro přihlášení: ");
  EXPECT_EQ(Utf8ToCp1250("Úroveň pro přihlášení: "), cp);
  EXPECT_EQ(Utf8ToCp1250("Chybí"), "Chyb\xED");
  EXPECT_EQ(Cp1250ToUtf8("\x80\x81"), "€\xEF\xBF\xBD") << "an unassigned byte shows as U+FFFD";
  EXPECT_EQ(Utf8ToCp1250("日"), "?");
  EXPECT_EQ(Utf8ToCp1250("\xC3"), "?") << "a cut sequence is not read past the end";
}

}  // namespace
}  // namespace qz
