// The harness's commands: what they send to the driver, and the refusals of
// channels, stations and users that do not exist, which send nothing.

#include <gtest/gtest.h>

#include <cstring>

#include "commands.h"
#include "harness_fixture.h"

namespace qzhost::test {
namespace {

class CommandsTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(file_.error().empty()) << file_.error(); }
  CommandResult Run(const std::string& line) { return commands_.Run(line); }

  LayoutFile file_;
  RecordingHost host_;
  Commands commands_{host_, file_.layout()};
};

struct Refusal {
  const char* Line;
  const char* Reason;  // a part of the message
};

TEST_F(CommandsTest, RefusesWhatDoesNotExistAndSendsNothing) {
  const Refusal cases[] = {
      {"w 99999 1", "no channel 99999: host channels are 1..65535"},
      {"w 0 1", "no channel 0"},
      {"w 4000 1", "channel 4000 does not exist on this line"},
      {"w 1 1", "BI 1 of station 1 (Pump): a write to it does nothing"},
      {"w 193 5", "AI 1 of station 1"},
      {"w 1001 5", "memory block item 1 (WORD INPUT)"},
      {"w 7003 1", "QQ [01.02.01] STRING"},
      {"w abc 1", "not a channel number: abc"},
      {"w 97 x", "not a number: x"},
      {"w 97 1 12", "no type 12"},
      {"w 97", "usage: w CH VALUE [TYPE]"},
      {"q 1", "not a QQ variable"},
      {"q 99999", "no channel 99999"},
      {"q 7002", "a WRITE variable is not read"},
      {"hist 3 1", "no station 3: stations are numbered 1..2"},
      {"hist 0 1", "no station 0"},
      {"hist 10 1", "(address 10 is station 1, Pump)"},
      {"hist 1 9", "no user 9: history users are 1..8"},
      {"hist 1 0", "no user 0"},
      {"samples 3 1", "no station 3"},
      {"samples 1 4", "no sample period 4"},
      {"r 99999", "no channel 99999"},
      {"frobnicate", "unknown command"},
  };
  for (const Refusal& c : cases) {
    host_.Calls.clear();
    const CommandResult r = Run(c.Line);
    EXPECT_FALSE(r.Ok) << c.Line;
    EXPECT_NE(r.Message.find(c.Reason), std::string::npos) << c.Line << " -> " << r.Message;
    EXPECT_TRUE(host_.Calls.empty()) << c.Line << " reached the driver";
  }
}

struct Accepted {
  const char* Line;
  std::uint32_t Channel;
  std::uint32_t Type;
  double Value;
};

double Number(const HostValue& v) { return ValueNumber(v).value_or(-1); }

TEST_F(CommandsTest, WritesWithTheTypeCodeTheChannelTakes) {
  const Accepted cases[] = {
      {"w 97 1", 97, 2, 1},          // BO 1
      {"w 305 2.5", 305, 10, 2.5},   // MO 1
      {"w 450 0", 450, 10, 0},       // ErrorNoAnswer preset
      {"w 7001 12.5", 7001, 10, 12.5},  // QQ REAL
      {"w 7002 300", 7002, 4, 300},  // QQ WORD
      {"w 1002 7", 1002, 3, 7},      // block item BYTE OUTPUT
      {"w 1003 1.5", 1003, 10, 1.5}, // block item REAL BIDIR
      {"w 1000 1", 1000, 2, 1},      // block read
      {"w 1481 0", 1481, 10, 0},     // MsgCounter of station 2
      {"w 65535 1", 65535, 2, 1},    // pending host write
      {"w 97 1 10", 97, 10, 1},      // the type given wins
  };
  for (const Accepted& c : cases) {
    host_.Calls.clear();
    const CommandResult r = Run(c.Line);
    EXPECT_TRUE(r.Ok) << c.Line << " -> " << r.Message;
    ASSERT_EQ(host_.Calls.size(), 1u) << c.Line;
    EXPECT_EQ(host_.Calls[0].Kind, "out");
    EXPECT_EQ(host_.Calls[0].Channel, c.Channel) << c.Line;
    EXPECT_EQ(host_.Calls[0].Value.TypeCode, c.Type) << c.Line;
    EXPECT_DOUBLE_EQ(Number(host_.Calls[0].Value), c.Value) << c.Line;
  }
}

TEST_F(CommandsTest, AnOtherTypeThanTheChannelTakesIsSentWithANote) {
  const CommandResult r = Run("w 97 1 10");
  EXPECT_NE(r.Message.find("the channel takes type 2"), std::string::npos) << r.Message;
}

TEST_F(CommandsTest, QReadsAReadableQqVariable) {
  EXPECT_TRUE(Run("q 7001").Ok);
  EXPECT_TRUE(Run("q 7003").Ok);  // BIDIR
  ASSERT_EQ(host_.Calls.size(), 2u);
  EXPECT_EQ(host_.Calls[0].Kind, "in");
  EXPECT_EQ(host_.Calls[0].Channel, 7001u);
  EXPECT_EQ(host_.Calls[1].Channel, 7003u);
}

TEST_F(CommandsTest, HistTakesTheStationNumberAndReportsWhatTheDriverDid) {
  host_.Values[65404] = 5;  // the driver's history state: reading
  const CommandResult started = Run("hist 2 3");
  EXPECT_TRUE(started.Ok) << started.Message;
  EXPECT_NE(started.Message.find("station 2 (Pump 2), user 3 started"), std::string::npos) << started.Message;
  ASSERT_EQ(host_.Calls.size(), 3u);
  EXPECT_EQ(host_.Calls[0].Channel, 65400u);
  EXPECT_EQ(host_.Calls[0].Value.TypeCode, 7u);
  EXPECT_DOUBLE_EQ(Number(host_.Calls[0].Value), 2);
  EXPECT_EQ(host_.Calls[1].Channel, 65401u);
  EXPECT_DOUBLE_EQ(Number(host_.Calls[1].Value), 3);
  EXPECT_EQ(host_.Calls[2].Channel, 65407u);

  host_.Values[65404] = 2;  // a read-out the driver did not start
  const CommandResult refused = Run("hist 1 1");
  EXPECT_FALSE(refused.Ok);
  EXPECT_NE(refused.Message.find("not started: history state 2"), std::string::npos) << refused.Message;
}

TEST_F(CommandsTest, SampleReadOutStartsWhenTheDriverSaysItRuns) {
  host_.Values[60018] = 1;
  const CommandResult r = Run("samples 1 2");
  EXPECT_TRUE(r.Ok) << r.Message;
  ASSERT_EQ(host_.Calls.size(), 3u);
  EXPECT_EQ(host_.Calls[0].Channel, 60000u);
  EXPECT_EQ(host_.Calls[1].Channel, 60001u);
  EXPECT_DOUBLE_EQ(Number(host_.Calls[1].Value), 2);
  EXPECT_EQ(host_.Calls[2].Channel, 60003u);
}

// The driver writes the file when channel 60021 is written; the harness names it.
class SampleFileHost : public RecordingHost {
 public:
  explicit SampleFileHost(std::string path) : path_(std::move(path)) {}
  void Output(std::uint32_t channel, const HostValue& value) override {
    RecordingHost::Output(channel, value);
    if (channel != 60021) return;
    Values[60022] = Writable ? 1 : 0;
    if (Writable) ::qz::testing::WriteFile(path_, std::string(16368, '\0'));
  }
  bool Writable = true;

 private:
  std::string path_;
};

TEST(SampleFileCommandTest, NamesTheFileTheDriverWroteOrSaysItFailed) {
  ::qz::testing::TempDir root;
  ::qz::testing::ScopedEnv env("QZ_ROOT", root.path().string());  // the default sample folder
  LayoutFile file;
  ASSERT_TRUE(file.error().empty()) << file.error();
  EXPECT_EQ(file.layout().Files.SampleFolder, root.file(""));
  SampleFileHost host(root.file("10162410.CUC"));
  Commands commands(host, file.layout());
  const CommandResult written = commands.Run("cuc");
  EXPECT_TRUE(written.Ok) << written.Message;
  EXPECT_EQ(written.Message, "sample file written: " + root.file("10162410.CUC"));
  host.Writable = false;
  const CommandResult failed = commands.Run("cuc");
  EXPECT_FALSE(failed.Ok);
  EXPECT_NE(failed.Message.find("could not be written into " + root.file("")), std::string::npos) << failed.Message;
}

TEST_F(CommandsTest, QuitEndsAndEmptyLinesSayNothing) {
  EXPECT_TRUE(Run("quit").Quit);
  EXPECT_TRUE(Run("exit").Quit);
  const CommandResult empty = Run("   ");
  EXPECT_FALSE(empty.Quit);
  EXPECT_TRUE(empty.Message.empty());
  EXPECT_TRUE(host_.Calls.empty());
}

}  // namespace
}  // namespace qzhost::test
