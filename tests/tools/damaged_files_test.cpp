// The readers on files that are not what the driver writes: empty, short,
// oversized, foreign, missing. Each says what is wrong on stderr, exits
// with the code of the case, and prints whatever it could read.

#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "support/temp_dir.h"
#include "tool_run.h"

namespace {

using ::qz::test::RunTool;

// A history record: code, seconds since 2000, IEEE single 12.5.
std::string HdbRecord(int code, unsigned seconds) {
  std::string r;
  r += static_cast<char>(code & 0xFF);
  r += static_cast<char>(code >> 8);
  for (int i = 0; i < 4; ++i) r += static_cast<char>((seconds >> (8 * i)) & 0xFF);
  r += std::string("\x00\x00\x48\x41", 4);
  return r;
}

// A sample of 10 December 2026 13:56:ss, status 1, every value 1.0.
std::string CucSample(int second) {
  std::string s = {26, 12, 10, 13, 56, static_cast<char>(second), 1};
  for (int v = 0; v < 8; ++v) s += std::string("\x40\x00\x00", 3);
  return s;
}

std::string Repeat(const std::string& unit, std::size_t size) {
  std::string out;
  while (out.size() < size) out += unit;
  out.resize(size);
  return out;
}

const std::string kLogLine = "10.12.2026 13:56:55 ExtractDATA : DecodeMess = 0\r\n";

struct Case {
  const char* Name;
  const char* Tool;
  std::string Content;  // written to the file; "<missing>" and "<dir>" for no file and a folder
  int Exit;
  const char* Message;  // on stderr
  std::size_t OutLines;  // header included
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.Name; }

class DamagedFiles : public ::testing::TestWithParam<Case> {};

TEST_P(DamagedFiles, SaysWhatIsWrongAndShowsWhatItRead) {
  const Case& c = GetParam();
  const ::qz::testing::TempDir dir;
  std::string file = dir.file("input");
  if (c.Content == "<dir>") {
    file = dir.path().string();
  } else if (c.Content != "<missing>") {
    ::qz::testing::WriteFile(file, c.Content);
  }
  const auto r = RunTool(c.Tool, file);
  EXPECT_EQ(r.Exit, c.Exit) << r.Err;
  EXPECT_NE(r.Err.find(c.Message), std::string::npos) << r.Err;
  EXPECT_EQ(r.OutLines().size(), c.OutLines) << r.Out;
}

const std::string kTwoRecords = HdbRecord(7, 849621415) + HdbRecord(8, 849621475);

INSTANTIATE_TEST_SUITE_P(
    Readers, DamagedFiles,
    ::testing::Values(
        Case{"HdbEmpty", QZ_HDB_TOOL, "", 1, "empty file", 0},
        Case{"HdbNoWholeRecord", QZ_HDB_TOOL, "12345", 1, "no whole history record", 0},
        Case{"HdbShort", QZ_HDB_TOOL, kTwoRecords + std::string(1000, '\0') + "xyz", 3, "short file", 3},
        Case{"HdbOversized", QZ_HDB_TOOL, kTwoRecords + std::string(500000, '\0'), 3, "longer than", 3},
        Case{"HdbMissing", QZ_HDB_TOOL, "<missing>", 1, "cannot open", 0},
        Case{"HdbFolder", QZ_HDB_TOOL, "<dir>", 1, "cannot read", 0},
        Case{"CucEmpty", QZ_CUC_TOOL, "", 1, "empty file", 0},
        Case{"CucShort", QZ_CUC_TOOL, CucSample(1) + CucSample(2) + "abc", 3, "short file", 3},
        Case{"CucForeign", QZ_CUC_TOOL, Repeat("[COM]\r\n  IRQ 4\r\n", 16368), 3, "does not look like a sample file",
             529},
        Case{"LogEmpty", QZ_LOG_TOOL, "", 1, "empty file", 0},
        Case{"LogForeign", QZ_LOG_TOOL, kTwoRecords + std::string(100, '\n'), 1, "not a driver log", 0},
        Case{"LogWithDamagedLines", QZ_LOG_TOOL, kLogLine + "garbage\r\n" + kLogLine, 3, "1 lines are not log lines",
             2},
        Case{"LogMissing", QZ_LOG_TOOL, "<missing>", 1, "cannot open", 0}),
    [](const auto& param) { return param.param.Name; });

struct Usage {
  const char* Tool;
  std::vector<const char*> Options;
};

TEST(ReaderCommandLine, HelpListsEveryOptionVersionIsTheProjectsAndBadOptionsAreUsageErrors) {
  for (const Usage& u : {Usage{QZ_HDB_TOOL, {"--all", "--first", "--last", "--since", "--until", "--code", "--json",
                                             "--summary", "--gap", "--svg", "--version"}},
                         Usage{QZ_CUC_TOOL, {"--all", "--json", "--svg", "--version"}},
                         Usage{QZ_LOG_TOOL, {"--par", "--station", "--since", "--until", "--json", "--summary",
                                             "--follow", "--version"}}}) {
    const auto help = RunTool(u.Tool, "--help");
    EXPECT_EQ(help.Exit, 0) << u.Tool;
    for (const char* option : u.Options) EXPECT_NE(help.Out.find(option), std::string::npos) << u.Tool << " " << option;
    const auto version = RunTool(u.Tool, "--version");
    EXPECT_EQ(version.Exit, 0);
    EXPECT_NE(version.Out.find(QZ_PROJECT_VERSION), std::string::npos) << version.Out;
    EXPECT_EQ(RunTool(u.Tool, "--no-such-option x").Exit, 2) << u.Tool;
    EXPECT_EQ(RunTool(u.Tool, "").Exit, 2) << u.Tool << ": no file";
  }
  EXPECT_EQ(RunTool(QZ_HDB_TOOL, "--since yesterday x.hdb").Exit, 2);
}

}  // namespace
