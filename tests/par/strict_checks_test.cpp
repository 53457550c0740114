// The checker's findings on broken parameter files: each at the line of the
// token at fault, while the driver's reader accepts exactly what it
// accepts without the checker.

#include <gtest/gtest.h>

#include <filesystem>

#include "check.h"
#include "config/par_file.h"
#include "diag/cp1250.h"
#include "load_trace.h"
#include "par_fixture.h"
#include "support/temp_dir.h"

namespace qz::tool::test {
namespace {

std::string Describe(const CheckOutcome& o) {
  std::string s = o.Loaded ? "loaded" : "error at line " + std::to_string(o.ErrorLine) + ": " + Cp1250ToUtf8(o.ErrorCp1250);
  for (const Finding& f : o.Warnings) s += "\n  " + std::to_string(f.Line) + " " + f.Kind + ": " + f.Text;
  return s;
}

TEST(StrictCheck, TheValidFileHasNoWarnings) {
  const CheckOutcome o = CheckText("ok.par", ParText());
  ASSERT_TRUE(o.Loaded) << Describe(o);
  EXPECT_EQ(o.State->Config.StationCount, 2);
  EXPECT_TRUE(o.Warnings.empty()) << Describe(o);
}

// The port's rates above 16 bits are held whole: no warning, the rate as written.
TEST(StrictCheck, TheFastRatesAreHeldWithoutAWarning) {
  for (const std::int32_t rate : {57600, 115200, 128000, 256000}) {
    const CheckOutcome o = CheckText("fast.par", ParText(3, "  BAUD " + std::to_string(rate)));
    ASSERT_TRUE(o.Loaded) << Describe(o);
    EXPECT_EQ(o.State->Config.Baud, rate);
    for (const Finding& f : o.Warnings) EXPECT_NE(f.Kind, "baud") << rate << ": " << f.Text;
  }
}

struct WarningCase {
  const char* What;
  int Line;               // line to change
  std::string Replacement;
  const char* Kind;       // the warning expected
  int WarningLine;
  const char* Says;       // part of its text
};

class StrictWarning : public ::testing::TestWithParam<WarningCase> {};

TEST_P(StrictWarning, IsGivenAtTheLineAtFault) {
  const WarningCase& c = GetParam();
  const CheckOutcome o = CheckText("broken.par", ParText(c.Line, c.Replacement));
  ASSERT_TRUE(o.Loaded) << Describe(o);
  bool found = false;
  for (const Finding& f : o.Warnings) {
    if (f.Kind == c.Kind && f.Line == c.WarningLine && f.Text.find(c.Says) != std::string::npos) found = true;
  }
  EXPECT_TRUE(found) << c.What << ": no " << c.Kind << " at line " << c.WarningLine << " saying \"" << c.Says
                     << "\" in\n" << Describe(o);
}

INSTANTIATE_TEST_SUITE_P(
    BrokenFiles, StrictWarning,
    ::testing::Values(
        // The first station's END is missing: the second [STATION] is read
        // as part of the first.
        WarningCase{"missing END", 27, "", "missing-end", 28, "group of line 18"},
        WarningCase{"misspelt keyword", 16, "  SLEEPCOUNT 5", "unknown-keyword", 16, "did you mean SLEEP_COUNT?"},
        WarningCase{"misspelt keyword with its value", 26, "  ORIGINAL_CHANELS", "unknown-keyword", 26,
                    "ORIGINAL_CHANNELS"},
        WarningCase{"duplicate address", 29, "  ADDRESS 11  RETRANSLATION 0", "duplicate-address", 29,
                    "like station 1 (line 19)"},
        WarningCase{"rate no port offers", 3, "  BAUD 9601", "baud", 3, "keeps 9600"},
        WarningCase{"rate beyond 16 bits no port offers", 3, "  BAUD 70000", "baud", 3, "BAUD 70000 is no rate"},
        WarningCase{"UTF-8 name", 30, "  NAME \" Dv\xC4\x9B\"", "encoding", 30, "C4 9B"},
        WarningCase{"byte Windows-1250 lacks", 20, "  NAME \" One\x81\"", "encoding", 20, "81"},
        WarningCase{"optional value not accepted", 16, "  SLEEP_COUNT many", "bad-value", 16, "many"},
        WarningCase{"keyword given twice", 3, "  BAUD 9600  BAUD 19200", "duplicate-keyword", 3, "first on line 3"},
        WarningCase{"text between groups", 17, "END stray words", "outside-group", 17, "stray words"},
        WarningCase{"data bits", 4, "  BITS 9  PARITY NONE  STOP 1", "framing", 4, "7"},
        // The last station reaches the end of the file: the stations end
        // there, at that group.
        WarningCase{"last station without END", 37, "", "stations-end", 28, "END"}));

struct ErrorCase {
  const char* What;
  int Line;
  std::string Replacement;
  int ErrorLine;
  const char* Says;  // part of the reader's message (UTF-8)
};

class StrictError : public ::testing::TestWithParam<ErrorCase> {};

TEST_P(StrictError, IsReportedAtTheLineAtFault) {
  const ErrorCase& c = GetParam();
  const CheckOutcome o = CheckText("broken.par", ParText(c.Line, c.Replacement));
  ASSERT_FALSE(o.Loaded) << c.What;
  EXPECT_EQ(o.ErrorLine, c.ErrorLine) << c.What << "\n" << Describe(o);
  EXPECT_NE(Cp1250ToUtf8(o.ErrorCp1250).find(c.Says), std::string::npos) << Describe(o);
}

INSTANTIATE_TEST_SUITE_P(
    BrokenFiles, StrictError,
    ::testing::Values(
        // The reader reports a bad value at its group's end; the checker
        // points at the value.
        ErrorCase{"decimal comma", 13, "  ANSWER_TIME 1,5", 13, "ANSWER_TIME / [GLOBAL]"},
        ErrorCase{"bad inversion list", 23, "  BINAR_IN_XOR 1 97", 23, "BINAR_IN_XOR / [STATION]"},
        // A keyword not given at all: the group that lacks it.
        ErrorCase{"keyword missing", 2, "  BASE $3F8", 1, "IRQ / [COM]"},
        // [COM] without END swallows [GLOBAL]: the missing group is where
        // it was written.
        ErrorCase{"group swallowed", 7, "", 8, "[GLOBAL]"},
        ErrorCase{"byte order mark", 1, "\xEF\xBB\xBF[COM]", 1, "[COM]"}));

TEST(StrictCheck, SwallowedGroupIsExplainedWithTheError) {
  const CheckOutcome o = CheckText("broken.par", ParText(7, ""));
  ASSERT_FALSE(o.Loaded);
  ASSERT_FALSE(o.Warnings.empty());
  EXPECT_EQ(o.Warnings.front().Kind, "missing-end");
  EXPECT_EQ(o.Warnings.front().Line, 8);
}

TEST(StrictCheck, ErrorIsNotRepeatedAsAWarning) {
  const CheckOutcome o = CheckText("broken.par", ParText(13, "  ANSWER_TIME 1,5"));
  for (const Finding& f : o.Warnings) EXPECT_NE(f.Kind, "bad-value") << f.Text;
}

// The trace watches the load and changes nothing: every corpus file loads
// to the same result with and without it.
TEST(StrictCheck, ReaderAcceptsTheSameWithTheTrace) {
  const std::filesystem::path corpus = std::filesystem::path(QZ_SOURCE_DIR) / "fuzz" / "corpus" / "par";
  std::vector<std::string> texts = {ParText(), ParText(27, ""), ParText(7, ""), ParText(13, "  ANSWER_TIME 1,5")};
  for (const auto& entry : std::filesystem::directory_iterator(corpus)) {
    texts.push_back(qz::testing::ReadFile(entry.path().string()));
  }
  for (const std::string& text : texts) {
    auto plain = std::make_unique<DriverState>();
    auto traced = std::make_unique<DriverState>();
    InitDriverState(*plain);
    InitDriverState(*traced);
    ParLoadReport plainReport, tracedReport;
    plainReport.DryRun = tracedReport.DryRun = true;
    LoadTrace trace;
    tracedReport.Observer = &trace;
    const bool a = LoadParameterText(plain->Config, plain->Log, nullptr, text, &plainReport);
    const bool b = LoadParameterText(traced->Config, traced->Log, nullptr, text, &tracedReport);
    ASSERT_EQ(a, b);
    EXPECT_EQ(plain->Config.ParseErrorText.str(), traced->Config.ParseErrorText.str());
    EXPECT_EQ(plainReport.Line, tracedReport.Line);
    ASSERT_EQ(plain->Config.StationCount, traced->Config.StationCount);
    EXPECT_EQ(plain->Config.Baud, traced->Config.Baud);
    EXPECT_EQ(plain->Config.Prefix.str(), traced->Config.Prefix.str());
    for (int n = 1; n <= plain->Config.StationCount; ++n) {
      EXPECT_EQ(plain->Config.Station(n).Address, traced->Config.Station(n).Address);
      EXPECT_EQ(plain->Config.Station(n).Name.str(), traced->Config.Station(n).Name.str());
      EXPECT_EQ(plain->Config.Station(n).ChannelBI, traced->Config.Station(n).ChannelBI);
    }
  }
}

}  // namespace
}  // namespace qz::tool::test
