// qz-log --follow as a user runs it beside a driver: it shows what is
// appended to the log while it runs and ends cleanly on SIGTERM.

#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <string>

#include "support/temp_dir.h"

namespace {

class FollowingTool {
 public:
  explicit FollowingTool(const std::string& log) {
    int out[2];
    if (pipe(out) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      dup2(out[1], 1);
      close(out[0]);
      execl(QZ_LOG_TOOL, QZ_LOG_TOOL, "--follow", log.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    close(out[1]);
    out_ = out[0];
  }
  ~FollowingTool() {
    if (pid_ > 0) Stop();
    if (out_ >= 0) close(out_);
  }

  // What it printed until the text appeared or timeoutMs passed.
  std::string ReadUntil(const std::string& text, int timeoutMs = 5000) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (seen_.find(text) == std::string::npos && std::chrono::steady_clock::now() < deadline) {
      pollfd p{out_, POLLIN, 0};
      if (poll(&p, 1, 100) <= 0) continue;
      char buf[4096];
      const ssize_t n = read(out_, buf, sizeof buf);
      if (n <= 0) break;
      seen_.append(buf, static_cast<std::size_t>(n));
    }
    return seen_;
  }

  // SIGTERM; the exit status.
  int Stop() {
    kill(pid_, SIGTERM);
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

 private:
  pid_t pid_ = -1;
  int out_ = -1;
  std::string seen_;
};

TEST(QzLogFollow, ShowsWhatIsAppendedWhileItRunsAndEndsOnSigterm) {
  const ::qz::testing::TempDir dir;
  const std::string log = dir.file("QZDRK485_A.LOG");
  ::qz::testing::WriteFile(log,
                           "10.12.2026 13:00:00 CodeMess : STadr:005 typ:000\r\n"
                           "10.12.2026 13:00:00 Transmit Message : \r\n"
                           "10.12.2026 13:00:00 Hex Dump : 10 02 00 07 59 01 05 01 42 0F 16 10 03 \r\n"
                           "10.12.2026 13:00:00 RTS ON : END\r\n");
  FollowingTool tool(log);
  EXPECT_NE(tool.ReadUntil("sent").find("st 5 : BI (0) mask 0F"), std::string::npos);
  {
    std::ofstream out(log, std::ios::binary | std::ios::app);
    out << "10.12.2026 13:00:02 AddToMemo : Pump - p\xF8" "ekro\xE8" "en\xED \xE8" "asu (10.12.2026 13:00:02)\r\n";
  }
  EXPECT_NE(tool.ReadUntil("timeout").find("timeout   st 5 : Pump - p\xC5\x99" "ekro\xC4\x8D" "en\xC3\xAD"),
            std::string::npos)
      << "the appended line, in UTF-8";
  EXPECT_EQ(tool.Stop(), 0);
}

}  // namespace
