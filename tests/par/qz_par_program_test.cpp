// The qz-par program as a user runs it: exit codes, --strict, --help,
// --version and the channel map of the example file.

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <string>

#include "channel_map.h"
#include "check.h"
#include "par_fixture.h"
#include "support/temp_dir.h"

namespace qz::tool::test {
namespace {

struct ProgramRun {
  int Status = -1;
  std::string Output;  // stdout and stderr
};

ProgramRun QzPar(const std::string& arguments) {
  const std::string command = std::string(QZ_PAR_PATH) + " " + arguments + " 2>&1";
  ProgramRun r;
  FILE* p = ::popen(command.c_str(), "r");
  if (!p) return r;
  char buffer[4096];
  while (std::fgets(buffer, sizeof buffer, p)) r.Output += buffer;
  const int status = ::pclose(p);
  r.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

const std::string kDemo = std::string(QZ_SOURCE_DIR) + "/examples/demo.par";

TEST(QzParProgram, ExitCodes) {
  qz::testing::TempDir dir;
  const std::string clean = dir.file("clean.par");
  const std::string warned = dir.file("warned.par");
  const std::string failing = dir.file("failing.par");
  qz::testing::WriteFile(clean, ParText());
  qz::testing::WriteFile(warned, ParText(16, "  SLEEPCOUNT 5"));
  qz::testing::WriteFile(failing, ParText(13, "  ANSWER_TIME 1,5"));
  struct Case {
    std::string Arguments;
    int Status;
    const char* Shows;
  };
  const Case cases[] = {
      {"check " + clean, 0, "OK, 2 station(s)"},
      {"check --strict " + clean, 0, "OK"},
      {"check " + warned, 0, "line 16: SLEEPCOUNT"},
      {"check --strict " + warned, 3, "line 16: SLEEPCOUNT"},  // warnings fail under --strict
      {"check --strict --json " + warned, 3, "\"kind\":\"unknown-keyword\""},
      {"check " + failing, 1, "failing.par:13: "},
      {"check --json " + failing, 1, "\"line\":13"},
      {"check " + dir.file("missing.par"), 1, "missing.par"},
      {"check", 2, "FILE"},
      {"frobnicate " + clean, 2, ""},
      {"check " + kDemo + " --strict", 0, "OK, 5 station(s)"},
  };
  for (const Case& c : cases) {
    const ProgramRun r = QzPar(c.Arguments);
    EXPECT_EQ(r.Status, c.Status) << c.Arguments << "\n" << r.Output;
    EXPECT_NE(r.Output.find(c.Shows), std::string::npos) << c.Arguments << "\n" << r.Output;
  }
}

TEST(QzParProgram, HelpListsEveryOptionAndVersionTheProjects) {
  const ProgramRun help = QzPar("--help");
  EXPECT_EQ(help.Status, 0) << help.Output;
  for (const char* option : {"check", "channels", "--json", "--strict", "--csv", "--version"}) {
    EXPECT_NE(help.Output.find(option), std::string::npos) << option << "\n" << help.Output;
  }
  const ProgramRun version = QzPar("--version");
  EXPECT_EQ(version.Status, 0);
  EXPECT_EQ(version.Output, std::string("qz-par ") + QZ_PROJECT_VERSION + "\n");
}

TEST(QzParProgram, ChannelsCsvOfTheExampleFile) {
  const ProgramRun r = QzPar("channels " + kDemo + " --csv");
  ASSERT_EQ(r.Status, 0) << r.Output;
  EXPECT_TRUE(r.Output.starts_with("channel,station,kind,index,type,access\n1,1,BI,1,2,read\n")) << r.Output;
  // Binary outputs of station 1 after its 32 inputs in the default block,
  // station 2's first input at 501, station 5's QQ variables, display lines
  // and memory block items by their type and direction.
  for (const char* row : {"\n97,1,BO,1,2,read-write\n", "\n501,2,BI,1,2,read\n", "\n7001,5,QQ,1,10,read\n",
                          "\n7002,5,QQ,2,4,write\n", "\n7003,5,QQ,3,11,read-write\n", "\n2459,5,Video,4,11,read\n",
                          "\n2481,5,MsgCounter,1,10,read-write\n", "\n2491,5,out_connect_modem,1,2,write\n",
                          "\n7100,5,block_read,1,2,write\n", "\n7101,5,block_item,1,4,read\n",
                          "\n7104,5,block_item,4,8,read-write\n"}) {
    EXPECT_NE(r.Output.find(row), std::string::npos) << row;
  }
}

// A QQ key takes its channel before the station item that claims it too,
// as the driver resolves it; every channel appears once.
TEST(ChannelMap, QqKeyShadowsAStationItemAndChannelsAreUnique) {
  const CheckOutcome o = CheckText("qq.par", ParText(26, "  ORIGINAL_CHANNELS  QQ READ 3 1 1 1 REAL"));
  ASSERT_TRUE(o.Loaded);
  const auto rows = ChannelMap(*o.State);
  int previous = 0;
  for (const ChannelRow& row : rows) {
    EXPECT_GT(row.Channel, previous);
    previous = row.Channel;
    if (row.Channel == 3) {
      EXPECT_EQ(row.Kind, "QQ");
      EXPECT_EQ(row.TypeCode, 10);
    }
    if (row.Channel == 4) {
      EXPECT_EQ(row.Kind, "BI");
    }
  }
}

}  // namespace
}  // namespace qz::tool::test
