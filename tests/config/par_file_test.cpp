// Loading of whole parameter files: the first error in the driver's words,
// the [COM] and [GLOBAL] values and the reader's lexical rules.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "diag/paths.h"
#include "par_fixture.h"

namespace qz::test {
namespace {

const std::string kMissingGroup = "Chyb\xED definice skupiny ";
const std::string kNoEnd = "Chyb\xED END na konci skupiny ";
const std::string kBadKeyword = "Chybn\xE1 definice prom\xECnn\xE9 ";

std::string Bad(std::string_view keyword, std::string_view group) {
  return kBadKeyword + std::string(keyword) + " / " + std::string(group);
}

struct ErrorCase {
  const char* name;
  std::string file;
  std::string message;
};

class FirstError : public ParFileFixture, public ::testing::WithParamInterface<ErrorCase> {};

TEST_P(FirstError, IsReportedInTheDriversWords) {
  EXPECT_FALSE(Load(GetParam().file));
  EXPECT_EQ(Error(), GetParam().message);
}

const ErrorCase kErrorCases[] = {
    {"NoCom", kGlobalGroup + Station(), kMissingGroup + "[COM]"},
    {"GlobalBeforeCom", kGlobalGroup + kComGroup + Station(), kMissingGroup + "[GLOBAL]"},
    {"ComWithoutIrq", With(ValidFile(), "  IRQ 4\r\n", ""), Bad("IRQ", "[COM]")},
    {"ComWithoutEnd", With(kComGroup, "END\r\n", ""), kNoEnd + "[COM]"},
    {"BadParity", With(ValidFile(), "PARITY NONE", "PARITY X"), Bad("PARITY", "[COM]")},
    {"DriverWithoutNumber", With(ValidFile(), "DRIVER SYSTEM 1", "DRIVER SYSTEM COM1"),
     Bad("DRIVER", "[COM]")},
    {"StopNotANumber", With(ValidFile(), "STOP 1", "STOP one"), Bad("STOP", "[COM]")},
    {"GlobalEndIsLastToken", kComGroup + kGlobalGroup, kNoEnd + "[GLOBAL]"},
    {"MisspeltKeywordIsSkippedWithItsValue",
     With(ValidFile(), "ANSWER_TIME 1.5", "ANSWERTIME 100"), Bad("ANSWER_TIME", "[GLOBAL]")},
    {"DecimalComma", With(ValidFile(), "ANSWER_TIME 1.5", "ANSWER_TIME 1,5"),
     Bad("ANSWER_TIME", "[GLOBAL]")},
    {"PrefixWithOneHexDigit", With(ValidFile(), "PREFIX $10$02", "PREFIX $0"), Bad("PREFIX", "[GLOBAL]")},
    {"NoStation", kComGroup + kGlobalGroup + "{ no stations yet }\r\n", kMissingGroup + "[STATION]"},
    {"StationWithoutName", With(ValidFile(), "  NAME \"Pump 1\"\r\n", ""), Bad("NAME", "[STATION]")},
    {"StationWithoutEnd", kComGroup + kGlobalGroup + "[STATION]\r\n" + kStationBody,
     kNoEnd + "[STATION]"},
    {"XorOutOfRange", With(ValidFile(), "BINAR_IN_XOR NONE", "BINAR_IN_XOR 1 97"),
     Bad("BINAR_IN_XOR", "[STATION]")},
    {"MemoryIndexZero", With(ValidFile(), "DEF_MEMORY_IN NONE", "DEF_MEMORY_IN 0 100 DEF_MEMORY_END"),
     Bad("DEF_MEMORY_IN", "[STATION]")},
    {"MemoryAddressNotANumber",
     With(ValidFile(), "DEF_MEMORY_OUT NONE", "DEF_MEMORY_OUT 1 abc DEF_MEMORY_END"),
     Bad("DEF_MEMORY_OUT", "[STATION]")},
    {"CounterPeriodUnknown",
     With(ValidFile(), "DEF_COUNTER_IN NONE", "DEF_COUNTER_IN 1 MINUTE 1.0 0 DEF_COUNTER_END"),
     Bad("DEF_COUNTER_IN", "[STATION]")},
    {"AnalogLimitUnreadable", ValidFile("  ANALOG_LIMITS 1 0 1,5 0 ANALOG_LIMITS_END\r\n"),
     Bad("ANALOG_LIMITS", "[STATION]")},
    {"QqDirectionUnknown", ValidFile("  QQ READX 7000 1 2 3 BYTE\r\n"), Bad("QQ", "[STATION]")},
    {"BlockTypesInLowerCase",
     ValidFile("  MEMORY_BLOCK ADDR 200 CHANNEL 9000 CHANNEL_READ 9100 TYPES byte input TYPES_END "
               "MEMORY_BLOCK_END\r\n"),
     Bad("MEMORY_BLOCK", "[STATION]")},
    {"BlockTypesEndInLowerCase",
     ValidFile("  MEMORY_BLOCK ADDR 200 CHANNEL 9000 CHANNEL_READ 9100 TYPES BYTE INPUT types_end "
               "MEMORY_BLOCK_END\r\n  PHONE 1\r\n"),
     Bad("MEMORY_BLOCK", "[STATION]")},
    {"BlockWithoutChannelRead",
     ValidFile("  MEMORY_BLOCK ADDR 200 CHANNEL 9000 TYPES BYTE INPUT TYPES_END MEMORY_BLOCK_END\r\n"),
     Bad("MEMORY_BLOCK", "[STATION]")},
    {"CommentOpenToTheEnd", "{ " + ValidFile(), kMissingGroup + "[COM]"},
    {"OnlyComments", "{ one } {two} { three\r\n four } x} {", kMissingGroup + "[COM]"},
    {"EmptyFile", "", kMissingGroup + "[COM]"},
    {"Token300Characters", std::string(300, 'A') + "\r\n", kMissingGroup + "[COM]"},
    {"NulBytes", std::string("[COM] IRQ\0 4 ", 13) + std::string(20, '\0'), kNoEnd + "[COM]"},
};

INSTANTIATE_TEST_SUITE_P(Files, FirstError, ::testing::ValuesIn(kErrorCases),
                         [](const auto& p) { return std::string(p.param.name); });

TEST_F(ParFileFixture, AValidFileLoadsAndSummarisesInTheEventList) {
  ASSERT_TRUE(Load(ValidFile())) << Error();
  EXPECT_EQ(state.Config.StationCount, 1);
  EXPECT_EQ(Events(), (std::vector<std::string>{"COM1, 9600 8 N 1", "GLOBAL info OK.", "STANICE PUMP1 "}));
  EXPECT_EQ(state.Config.Irq, 4);
  EXPECT_EQ(state.Config.BaseAddr, 0x3F8);
  EXPECT_EQ(state.Config.BufferSize, 1024);
  EXPECT_EQ(state.Config.Prefix.str(), std::string("\x10\x02"));
  EXPECT_EQ(state.Config.Suffix.str(), std::string("\x10\x03"));
  EXPECT_TRUE(state.Config.PreSuffix.empty());
  EXPECT_DOUBLE_EQ(state.Config.AnswerTime, 1.5);
  EXPECT_EQ(state.Config.RtsTimeOff, 6);
  EXPECT_EQ(state.Config.DefAnalogInAddr, 100);
  // Optional keywords that are absent keep their defaults.
  EXPECT_EQ(state.Config.NumMorvenError, 1);
  EXPECT_DOUBLE_EQ(state.Config.SleepTime, 600.0);
  EXPECT_EQ(state.Config.SleepCount, 10);
  EXPECT_EQ(state.Config.IdleTime, 10);
  EXPECT_EQ(state.Config.SelfReading, 1);
  EXPECT_EQ(state.Log.Enabled(), 0);
}

TEST_F(ParFileFixture, ValuesAreCutToTheirFields) {
  std::string file = With(ValidFile(), "  ADDRESS 1\r\n", "  ADDRESS 300\r\n  IDLE_TIME 70000\r\n");
  file = With(file, "BAUD 9600", "baud 19200");
  ASSERT_TRUE(Load(file)) << Error();
  EXPECT_EQ(state.Config.MasterAddress, 44);
  EXPECT_EQ(state.Config.IdleTime, 4464);
  EXPECT_EQ(state.Config.Baud, 19200);
}

TEST_F(ParFileFixture, ParityNamesAndTheirLetters) {
  const std::pair<const char*, const char*> cases[] = {
      {"NONE", "N"}, {"even", "E"}, {"ODD", "O"}, {"MARK", "M"}, {"SPACE", "S"}};
  for (std::uint16_t code = 0; code < 5; ++code) {
    SCOPED_TRACE(cases[code].first);
    ASSERT_TRUE(Load(With(ValidFile(), "PARITY NONE", std::string("PARITY ") + cases[code].first)));
    EXPECT_EQ(state.Config.Parity, code);
    EXPECT_EQ(Events().at(0), std::string("COM1, 9600 8 ") + cases[code].second + " 1");
  }
}

TEST_F(ParFileFixture, DriverSystemStoresAnEmptyNameAndThePort) {
  ASSERT_TRUE(Load(With(ValidFile(), "DRIVER SYSTEM 1", "DRIVER SYSTEM 2")));
  EXPECT_TRUE(state.Config.PortDriverName.empty());
  EXPECT_EQ(state.Config.PortNumber, 2);
  EXPECT_EQ(Events().at(0), "COM2, 9600 8 N 1");
  ASSERT_TRUE(Load(With(ValidFile(), "DRIVER SYSTEM 1", "DRIVER moxa 3")));
  EXPECT_EQ(state.Config.PortDriverName.str(), "MOXA");
  EXPECT_EQ(state.Config.PortNumber, 3);
}

TEST_F(ParFileFixture, OptionalGlobalsAreRead) {
  const std::string optional =
      "  NUM_MORVEN_ERROR 3\r\n  SLEEP_TIME 30.5\r\n  SLEEP_COUNT 4\r\n  IDLE_TIME 0\r\n"
      "  STOP_SELF_READING ON\r\n  STAY_IN_QUEUE_ON_TIMEOUT ON\r\n  BEEP on\r\n";
  ASSERT_TRUE(Load(With(ValidFile(), "  DEF_ANALOG_IN_ADDR 100\r\n", "  DEF_ANALOG_IN_ADDR 100\r\n" + optional)));
  EXPECT_EQ(state.Config.NumMorvenError, 3);
  EXPECT_DOUBLE_EQ(state.Config.SleepTime, Real6::Round(30.5));
  EXPECT_EQ(state.Config.SleepCount, 4);
  EXPECT_EQ(state.Config.IdleTime, 0);
  EXPECT_EQ(state.Config.SelfReading, 0);
  EXPECT_EQ(state.Config.StayInQueueOnTimeout, 1);
  EXPECT_EQ(state.Config.Beep, 1);
}

TEST_F(ParFileFixture, AnUnreadableRealStoresTheMarker) {
  EXPECT_FALSE(Load(With(ValidFile(), "ANSWER_TIME 1.5", "ANSWER_TIME 1,5")));
  EXPECT_TRUE(IsMissingReal(state.Config.AnswerTime));
  EXPECT_EQ(Real6(state.Config.AnswerTime), Real6(-999999.9));
}

TEST_F(ParFileFixture, CucPathOfAMissingFolderIsTheRootFolder) {
  ASSERT_TRUE(Load(With(ValidFile(), "  ADDRESS 1\r\n", "  ADDRESS 1\r\n  CUC_PATH \"/no/such/folder\\\"\r\n")));
  EXPECT_EQ(state.Config.CucPath.str(), RootFolder());
}

TEST_F(ParFileFixture, CucPathOfAnExistingFolderEndsInOneSeparator) {
  const std::filesystem::path data = dir_ / "Data";
  std::filesystem::create_directories(data);
  for (const std::string& written : {data.string(), data.string() + "\\", data.string() + "/"}) {
    SCOPED_TRACE(written);
    ASSERT_TRUE(Load(With(ValidFile(), "  ADDRESS 1\r\n", "  ADDRESS 1\r\n  CUC_PATH \"" + written + "\"\r\n")));
    EXPECT_EQ(state.Config.CucPath.str(), data.string() + "/");
  }
}

TEST_F(ParFileFixture, DiagsSwitchesLoggingOnEvenInAComment) {
  ASSERT_TRUE(Load("{ logging: $DIAGS }\r\n" + ValidFile()));
  EXPECT_EQ(state.Log.Enabled(), 1);
  const std::filesystem::path log = dir_ / "QZDRK485_TEST.LOG";
  ASSERT_TRUE(std::filesystem::exists(log));
  std::ifstream in(log, std::ios::binary);
  const std::string content((std::istreambuf_iterator<char>(in)), {});
  EXPECT_NE(content.find("PARfile ITEM : BAUD\r\n"), std::string::npos);
  EXPECT_NE(content.find("LoadParameterFile : TRUE\r\n"), std::string::npos);
}

TEST_F(ParFileFixture, DiagsInLowerCaseDoesNothingAndLogFileAloneWritesNothing) {
  const std::string logFile = (dir_ / "given.log").string();
  ASSERT_TRUE(Load("{ $diags }\r\n" +
                   With(ValidFile(), "  ADDRESS 1\r\n", "  ADDRESS 1\r\n  LOG_FILE \"" + logFile + "\"\r\n")));
  EXPECT_EQ(state.Log.Enabled(), 0);
  EXPECT_EQ(state.Log.FileName(), logFile);
  EXPECT_FALSE(std::filesystem::exists(logFile));
}

TEST_F(ParFileFixture, LogFileGivenAfterDiagsWins) {
  const std::string logFile = (dir_ / "Given.log").string();
  ASSERT_TRUE(Load("$DIAGS\r\n" + With(ValidFile(), "  ADDRESS 1\r\n",
                                       "  ADDRESS 1\r\n  LOG_FILE \"" + logFile + "\"\r\n")));
  EXPECT_EQ(state.Log.FileName(), logFile);
  EXPECT_TRUE(std::filesystem::exists(logFile));
}

TEST_F(ParFileFixture, CommentsAreSkippedAndTheNextKeywordIsRead) {
  std::string file = With(ValidFile(), "  BAUD 9600\r\n", "  { speed of the line } BAUD {x} 4800 {note}\r\n");
  file = With(file, "  BITS 8\r\n", "  BITS 7 ignored} STOP_IS_NOT_HERE\r\n");
  ASSERT_TRUE(Load(file)) << Error();
  EXPECT_EQ(state.Config.Baud, 4800);
  EXPECT_EQ(state.Config.DataBits, 7);
}

TEST_F(ParFileFixture, TextValueThatEndsItsLineLeavesTheNextLineForKeywords) {
  // The quoted name ends its line; NUM_BINAR_IN on the next line is read.
  std::string file = With(ValidFile(), "  NAME \"Pump 1\"\r\n", "  NAME \"Pump\"\r\n");
  ASSERT_TRUE(Load(file)) << Error();
  EXPECT_EQ(state.Config.Station(1).Name.str(), "PUMP");
  EXPECT_EQ(state.Config.Station(1).NumBinarIn, 16);
  // The same with LF line ends.
  std::string unix = file;
  std::erase(unix, '\r');
  ASSERT_TRUE(Load(unix)) << Error();
  EXPECT_EQ(state.Config.Station(1).NumBinarIn, 16);
}

TEST_F(ParFileFixture, TextValueTakesTheRestOfItsLine) {
  struct Case {
    const char* line;
    const char* name;
  } cases[] = {
      {"  NAME \"Station 1\"\r\n", "STATION1"},
      {"  NAME \"Station  1\"\r\n", "STATION 1"},
      {"  NAME \"A\" $41 \"b\" {\"c\"}\n", "AAbc"},
      {"  NAME NONE\r\n", ""},
      {"  NAME plain words\r\n", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    ASSERT_TRUE(Load(With(ValidFile(), "  NAME \"Pump 1\"\r\n", c.line))) << Error();
    EXPECT_EQ(state.Config.Station(1).Name.str(), c.name);
    EXPECT_EQ(state.Config.Station(1).NumBinarIn, 16);
  }
}

TEST_F(ParFileFixture, PathValuesKeepTheirCase) {
  ASSERT_TRUE(Load(With(ValidFile(), "  ADDRESS 1\r\n", "  ADDRESS 1\r\n  LOG_FILE \"/Tmp/Mixed.Log\"\r\n")));
  EXPECT_EQ(state.Log.FileName(), "/Tmp/Mixed.Log");
}

TEST_F(ParFileFixture, AFileThatCannotBeOpenedEndsWithOurMessageCutTo80) {
  const std::string missing = (dir_ / "missing.par").string();
  EXPECT_FALSE(LoadPath(missing));
  const std::string expected = "Nelze otev\xF8\xEDt parametrick\xFD soubor " + missing;
  EXPECT_EQ(Error(), expected.substr(0, 80));

  const std::string longName = (dir_ / (std::string(120, 'n') + ".par")).string();
  EXPECT_FALSE(LoadPath(longName));
  EXPECT_EQ(Error().size(), 80u);
}

TEST_F(ParFileFixture, AFolderInPlaceOfTheFileEndsWithOurMessage) {
  EXPECT_FALSE(LoadPath(dir_.string()));
  EXPECT_EQ(Error().rfind("Nelze otev\xF8\xEDt parametrick\xFD soubor ", 0), 0u);
}

TEST_F(ParFileFixture, TenMegabytesOfGarbageEndWithAMessage) {
  std::string garbage(10u << 20, ' ');
  std::uint32_t x = 12345;
  for (char& c : garbage) {
    x = x * 1664525u + 1013904223u;
    c = static_cast<char>(x >> 24);
    if (c == '$') c = '#';  // no diagnostics marker by chance
  }
  EXPECT_FALSE(Load(garbage));
  EXPECT_EQ(Error(), kMissingGroup + "[COM]");
}

TEST_F(ParFileFixture, ReportTellsTheLineWhereTheReaderStopped) {
  const std::string file = With(ValidFile(), "  BITS 8\r\n", "  BITS x\r\n");
  EXPECT_FALSE(Load(file));
  EXPECT_EQ(report.Line, 11);  // the END of [COM]
}

}  // namespace
}  // namespace qz::test
