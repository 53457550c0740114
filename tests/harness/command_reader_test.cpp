// Every command the operator gives runs, however it arrives: typed one
// character at a time, pasted as a block, piped many lines in one read, with
// or without the last newline. The real readers, on a pipe and on a pty.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "command_reader.h"
#include "input_posix.h"

namespace qzhost::test {
namespace {

using Lines = std::vector<std::string>;

struct Arrival {
  const char* Name;
  std::vector<std::string> Chunks;  // the pieces as the reader gets them
  bool Ends;                        // the input ends after the last piece
  Lines Expected;
};

const Arrival kArrivals[] = {
    {"typed", {"w", " ", "9", "7", " ", "1", "\n", "q", " ", "7", "\n"}, false, {"w 97 1", "q 7"}},
    {"pasted block", {"w 97 1\nw 98 0\nhist 1 1\nsave\n"}, false, {"w 97 1", "w 98 0", "hist 1 1", "save"}},
    {"piped with newline", {"a\nb\nc\nd\ne\nf\ng\n"}, true, {"a", "b", "c", "d", "e", "f", "g"}},
    {"piped without newline", {"a\nb\nc\nd\ne\nf\ng"}, true, {"a", "b", "c", "d", "e", "f", "g"}},
    {"a line split across reads", {"w 9", "7 1\nq", " 7\n"}, false, {"w 97 1", "q 7"}},
    {"CR LF and CR", {"a\r\nb\rc\r", "\nd\n"}, false, {"a", "b", "c", "d"}},
};

TEST(LineSplitterTest, EveryLineComesOutOnceInOrder) {
  for (const Arrival& a : kArrivals) {
    LineSplitter splitter;
    Lines got;
    for (const std::string& chunk : a.Chunks) {
      for (auto& l : splitter.Feed(chunk)) got.push_back(l);
    }
    if (a.Ends) {
      for (auto& l : splitter.Finish()) got.push_back(l);
    }
    EXPECT_EQ(got, a.Expected) << a.Name;
  }
}

// Collects from a source until count lines came or the source ended.
Lines Collect(CommandSource& source, std::size_t count) {
  Lines got;
  for (int round = 0; round < 200 && got.size() < count && source.Open(); ++round) {
    for (auto& l : source.Wait(10)) got.push_back(l);
  }
  return got;
}

TEST(PipeInputTest, ManyLinesInOneReadAndALastLineWithoutNewlineAllRun) {
  for (const Arrival& a : kArrivals) {
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    auto input = MakePosixInput(fds[0], false, "");
    std::string all;
    for (const std::string& chunk : a.Chunks) all += chunk;
    ASSERT_EQ(::write(fds[1], all.data(), all.size()), static_cast<ssize_t>(all.size()));
    if (a.Ends) ::close(fds[1]);
    Lines got = Collect(*input, a.Expected.size());
    EXPECT_EQ(got, a.Expected) << a.Name;
    if (a.Ends) {
      EXPECT_FALSE(input->Open()) << a.Name;
    }
    if (!a.Ends) ::close(fds[1]);
    ::close(fds[0]);
  }
}

// A terminal: the test types on the master side, readline reads the slave.
class Terminal {
 public:
  Terminal() {
    if (::openpty(&master_, &slave_, nullptr, nullptr, nullptr) != 0) master_ = slave_ = -1;
  }
  ~Terminal() {
    if (master_ >= 0) ::close(master_);
    if (slave_ >= 0) ::close(slave_);
  }
  bool ok() const { return master_ >= 0; }
  int Slave() const { return slave_; }
  void Type(const std::string& bytes) const {
    ASSERT_EQ(::write(master_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  }

 private:
  int master_ = -1;
  int slave_ = -1;
};

TEST(ReadlineInputTest, TypedAndPastedCommandsAllRun) {
  for (const Arrival& a : kArrivals) {
    if (a.Ends) continue;  // a terminal does not end
    Terminal t;
    ASSERT_TRUE(t.ok());
    auto input = MakePosixInput(t.Slave(), true, "> ");
    Lines got;
    for (const std::string& chunk : a.Chunks) {
      t.Type(chunk);
      for (auto& l : input->Wait(20)) got.push_back(l);
    }
    for (auto& l : Collect(*input, a.Expected.size() - std::min(got.size(), a.Expected.size()))) got.push_back(l);
    EXPECT_EQ(got, a.Expected) << a.Name;
  }
}

TEST(ReadlineInputTest, TheLineBeingTypedSurvivesARedraw) {
  Terminal t;
  ASSERT_TRUE(t.ok());
  auto input = MakePosixInput(t.Slave(), true, "> ");
  t.Type("w 9");
  EXPECT_TRUE(input->Wait(50).empty());
  input->BeforeOutput();  // the screen is redrawn here
  input->AfterOutput();
  t.Type("7 1\n");
  EXPECT_EQ(Collect(*input, 1), Lines{"w 97 1"});
}

}  // namespace
}  // namespace qzhost::test
