// The I/O layer on real pseudo-terminals: the server on a device the test
// owns, and the qz-sim program started as a child the way integration tests
// and the demo start it.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "server.h"
#include "sim_fixture.h"
#include "support/pty_pair.h"
#include "support/temp_dir.h"

namespace qz::sim::test {
namespace {

using Clock = std::chrono::steady_clock;

// The server plays the stations on the slave; the test is the control centre
// on the master.
class ServerOnPty : public ::testing::Test {
 protected:
  void Start(bool pace, int turnaroundMs) {
    ASSERT_TRUE(pty_.ok());
    std::string error;
    ASSERT_TRUE(OpenDevice(pty_.SlaveName(), 9600, 8, 0, 1, line_, error)) << error;
    ResponderOptions ro;
    ro.TurnaroundMs = turnaroundMs;
    responder_ = std::make_unique<Responder>(TwoStations(), ro);
    ServerOptions so;
    so.Pace = pace;
    server_ = std::make_unique<Server>(*responder_, line_.Fd, so);
    ASSERT_TRUE(server_->Open(error)) << error;
    thread_ = std::thread([this] { server_->Run(); });
  }
  void TearDown() override {
    if (server_) server_->Stop();
    if (thread_.joinable()) thread_.join();
    server_.reset();
    CloseLine(line_);
  }

  qz::test::PtyPair pty_;
  LineEndpoint line_;
  std::unique_ptr<Responder> responder_;
  std::unique_ptr<Server> server_;
  std::thread thread_;
};

TEST_F(ServerOnPty, AnswersRequestsAndTakesCommands) {
  Start(false, 0);
  pty_.Send(Request(5, "42 03"));
  const std::string good = Answer(5, "42 03 00 00");
  EXPECT_EQ(HexOf(pty_.Receive(good.size())), HexOf(good));
  server_->Post("set 5 bi 9 1");
  server_->Post("fault 5 garbage 2 once");
  // Commands posted before a request apply to its answer.
  pty_.Send(Request(5, "42 03"));
  const std::string expected = "\x55\xAA" + Answer(5, "42 03 00 01");
  EXPECT_EQ(HexOf(pty_.Receive(expected.size())), HexOf(expected));
}

TEST_F(ServerOnPty, BytesLeaveAtTheLinesPace) {
  Start(true, 20);
  // 34 bytes of counters: at 9600 Bd and 10 bits each the frame needs about
  // 43 ms on the line, after 20 ms of turnaround.
  std::string zeros;
  for (int i = 0; i < 32; ++i) zeros += " 00";
  const std::string expected = Answer(5, "43 03" + zeros);
  const auto start = Clock::now();
  pty_.Send(Request(5, "43 03"));
  EXPECT_EQ(HexOf(pty_.Receive(expected.size())), HexOf(expected));
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
  EXPECT_GE(ms, 20 + static_cast<long>(expected.size() - 1) * 10 * 1000 / 9600);
}

// -------------------------------------------------------------------------

class ChildProcess : public ::testing::Test {
 protected:
  void Launch(std::vector<std::string> extra) {
    const std::string par = dir_.file("line.par");
    qz::testing::WriteFile(par, std::string(kTwoStations));
    link_ = dir_.file("com1");
    socket_ = dir_.file("control");
    int out[2];
    ASSERT_EQ(::pipe(out), 0);
    std::vector<std::string> args = {QZ_SIM_PATH, "--par", par, "--pty-link", link_, "--control", socket_,
                                     "--no-stdin", "--no-pace", "--turnaround-ms", "0"};
    args.insert(args.end(), extra.begin(), extra.end());
    pid_ = ::fork();
    ASSERT_GE(pid_, 0);
    if (pid_ == 0) {
      ::dup2(out[1], STDOUT_FILENO);
      ::close(out[0]);
      std::vector<char*> argv;
      for (std::string& a : args) argv.push_back(a.data());
      argv.push_back(nullptr);
      ::execv(argv[0], argv.data());
      ::_exit(127);
    }
    ::close(out[1]);
    stdout_ = out[0];
    const std::string first = ReadStdout(5000, true);
    ASSERT_FALSE(first.empty()) << "qz-sim printed no path";
    char target[256] = {};
    ASSERT_GT(::readlink(link_.c_str(), target, sizeof target - 1), 0);
    EXPECT_EQ(first, std::string(target) + "\n");
    fd_ = ::open(link_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(fd_, 0);
    termios t{};
    ::tcgetattr(fd_, &t);
    ::cfmakeraw(&t);
    ::tcsetattr(fd_, TCSANOW, &t);
  }
  void TearDown() override {
    if (fd_ >= 0) ::close(fd_);
    if (pid_ > 0 && !reaped_) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
    if (stdout_ >= 0) ::close(stdout_);
  }
  // Until a line end (firstLine) or end of file.
  std::string ReadStdout(int timeoutMs, bool firstLine) {
    std::string text;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (Clock::now() < deadline) {
      pollfd p{stdout_, POLLIN, 0};
      if (::poll(&p, 1, 50) <= 0) continue;
      char c;
      const ssize_t n = ::read(stdout_, &c, 1);
      if (n <= 0) break;
      text.push_back(c);
      if (firstLine && c == '\n') break;
    }
    return text;
  }
  std::string Exchange(const std::string& frame, std::size_t answerSize, int timeoutMs = 3000) {
    for (std::size_t done = 0; done < frame.size();) {
      const ssize_t n = ::write(fd_, frame.data() + done, frame.size() - done);
      if (n > 0) done += static_cast<std::size_t>(n);
    }
    std::string got;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (got.size() < answerSize && Clock::now() < deadline) {
      pollfd p{fd_, POLLIN, 0};
      if (::poll(&p, 1, 50) <= 0) continue;
      char buffer[256];
      const ssize_t n = ::read(fd_, buffer, std::min(sizeof buffer, answerSize - got.size()));
      if (n > 0) got.append(buffer, static_cast<std::size_t>(n));
    }
    return got;
  }
  std::string Control(const std::string& command) {
    const int s = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", socket_.c_str());
    if (::connect(s, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0) {
      ::close(s);
      return "connect failed";
    }
    const std::string line = command + "\n";
    if (::write(s, line.data(), line.size()) != static_cast<ssize_t>(line.size())) return "write failed";
    std::string reply;
    char c;
    while (::read(s, &c, 1) == 1) {
      reply.push_back(c);
      if (reply.ends_with("ok\n") || (reply.find("error: ") != std::string::npos && c == '\n')) break;
    }
    ::close(s);
    return reply;
  }

  qz::testing::TempDir dir_;
  std::string link_, socket_;
  pid_t pid_ = -1;
  bool reaped_ = false;
  int stdout_ = -1;
  int fd_ = -1;
};

TEST_F(ChildProcess, ServesOnItsPtyTakesCommandsAndSummarisesOnSigterm) {
  Launch({});
  const std::string good = Answer(5, "42 03 00 00");
  EXPECT_EQ(HexOf(Exchange(Request(5, "42 03"), good.size())), HexOf(good));
  EXPECT_EQ(Control("fault 5 error 7 once"), "ok\n");
  EXPECT_EQ(Control("set 5 bi 99 1"), "error: binary input 99 is outside 1..96\n");
  const std::string error = Answer(5, "45 07");
  EXPECT_EQ(HexOf(Exchange(Request(5, "42 03"), error.size())), HexOf(error));

  ASSERT_EQ(::kill(pid_, SIGTERM), 0);
  const std::string summary = ReadStdout(5000, false);
  int status = 0;
  ASSERT_EQ(::waitpid(pid_, &status, 0), pid_);
  reaped_ = true;
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_NE(summary.find("station 5 (Full): 2 requests, 2 answers, 0 silent, 1 faulted, 1 error answers"),
            std::string::npos)
      << summary;
  EXPECT_NE(summary.find("station 6 (Modem): 0 requests"), std::string::npos) << summary;
  EXPECT_FALSE(std::filesystem::exists(link_));
}

TEST_F(ChildProcess, ScriptAndScenarioRunAndTheTranscriptShowsBothWays) {
  const std::string scenario = dir_.file("start.scn");
  qz::testing::WriteFile(scenario, "set 5 bi 1 1\nheader 5 short\n");
  const std::string script = dir_.file("faults.txt");
  qz::testing::WriteFile(script, "0 fault 5 silence\n");
  const std::string transcript = dir_.file("line.log");
  Launch({"--scenario", scenario, "--script", script, "--transcript", transcript});
  // The script silences the station from the start; a command clears it.
  EXPECT_EQ(Exchange(Request(5, "42 03"), 1, 300), "");
  EXPECT_EQ(Control("clear 5"), "ok\n");
  const std::string good = FrameOf("05 00", "42 03 01 00");
  EXPECT_EQ(HexOf(Exchange(Request(5, "42 03"), good.size())), HexOf(good));
  ::kill(pid_, SIGINT);
  ::waitpid(pid_, nullptr, 0);
  reaped_ = true;
  const std::string log = qz::testing::ReadFile(transcript);
  EXPECT_NE(log.find(" RX 00 07 59 01 05 01 42 03 1A"), std::string::npos) << log;
  EXPECT_NE(log.find(" TX " + HexOf(good) + " ; station 5"), std::string::npos) << log;
  EXPECT_NE(log.find("stays silent (fault)"), std::string::npos) << log;
}

TEST_F(ChildProcess, UnpluggedLineFailsThenComesBackAsANewPtyAtTheSameLink) {
  Launch({});
  EXPECT_EQ(Control("unplug 400ms"), "ok\n");
  // The adapter is gone: the old descriptor fails and the link is missing.
  EXPECT_TRUE(qz::test::WaitUntil([&] { return !std::filesystem::is_symlink(link_); }, 2000));
  EXPECT_TRUE(qz::test::WaitUntil([&] {
    pollfd p{fd_, POLLIN, 0};
    return ::poll(&p, 1, 0) == 1 && (p.revents & POLLHUP);
  }, 2000));
  EXPECT_EQ(::write(fd_, "x", 1), -1);
  // Back after the time: a new pty at the same path, serving as before.
  ASSERT_TRUE(qz::test::WaitUntil([&] { return std::filesystem::is_symlink(link_); }, 3000));
  ::close(fd_);
  fd_ = ::open(link_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  ASSERT_GE(fd_, 0);
  termios t{};
  ::tcgetattr(fd_, &t);
  ::cfmakeraw(&t);
  ::tcsetattr(fd_, TCSANOW, &t);
  const std::string good = Answer(5, "42 03 00 00");
  EXPECT_EQ(HexOf(Exchange(Request(5, "42 03"), good.size())), HexOf(good));
  EXPECT_EQ(Control("unplug 1s 2s"), "error: unexpected '2s'\n");
  EXPECT_EQ(Control("unplug soon"), "error: bad time off the line 'soon' (500ms, 2s, 1.5, 1m)\n");
}

TEST(ChildProcessStart, BadScenarioStopsWithTheLineNamed) {
  qz::testing::TempDir dir;
  qz::testing::WriteFile(dir.file("line.par"), std::string(kTwoStations));
  qz::testing::WriteFile(dir.file("bad.scn"), "set 5 bi 1 1\nramp 5 ai 1 from 0\n");
  const std::string command = std::string(QZ_SIM_PATH) + " --no-stdin --par " + dir.file("line.par") +
                              " --scenario " + dir.file("bad.scn") + " 2>&1";
  FILE* p = ::popen(command.c_str(), "r");
  ASSERT_NE(p, nullptr);
  char buffer[512] = {};
  const std::size_t n = std::fread(buffer, 1, sizeof buffer - 1, p);
  const int status = ::pclose(p);
  EXPECT_EQ(WEXITSTATUS(status), 1);
  EXPECT_NE(std::string(buffer, n).find("bad.scn:2: expected 'to'"), std::string::npos) << buffer;
}

}  // namespace
}  // namespace qz::sim::test
