#include "support/sim_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <utility>

extern char** environ;

namespace qz::test {

namespace {

using Clock = std::chrono::steady_clock;

int MsLeft(Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left > 0 ? static_cast<int>(left) : 0;
}

// Reads what is there within the time left; false at EOF or on an error.
bool ReadSome(int fd, std::string& into, Clock::time_point deadline) {
  pollfd p{fd, POLLIN, 0};
  if (::poll(&p, 1, MsLeft(deadline)) <= 0) return Clock::now() < deadline;
  char buffer[512];
  const ssize_t n = ::read(fd, buffer, sizeof buffer);
  if (n <= 0) return false;
  into.append(buffer, static_cast<std::size_t>(n));
  return true;
}

}  // namespace

SimProcess::SimProcess(SimOptions options) : options_(std::move(options)) {
  if (!Spawn()) return;
  // The first line names the pty slave; it comes once the link and the
  // control socket exist.
  const auto deadline = Clock::now() + std::chrono::seconds(10);
  std::string out;
  while (out.find('\n') == std::string::npos && Clock::now() < deadline) {
    if (!ReadSome(stdout_, out, deadline)) break;
  }
  const std::size_t nl = out.find('\n');
  if (nl == std::string::npos) {
    startError_ = "qz-sim gave no start line: " + out;
    return;
  }
  pending_ = out.substr(nl + 1);
  ready_ = !options_.Device.empty() || WaitForLink(2000);
  if (!ready_) startError_ = "pty link " + options_.Link + " missing";
}

SimProcess::~SimProcess() { Stop(); }

bool SimProcess::Spawn() {
  std::vector<std::string> args = {options_.Program, "--par", options_.ParFile, "--no-stdin"};
  if (options_.Device.empty()) {
    args.insert(args.end(), {"--pty-link", options_.Link});
  } else {
    args.insert(args.end(), {"--device", options_.Device});
  }
  auto add = [&](const char* option, const std::string& value) {
    if (value.empty()) return;
    args.emplace_back(option);
    args.push_back(value);
  };
  add("--control", options_.Control);
  add("--scenario", options_.Scenario);
  add("--script", options_.Script);
  add("--transcript", options_.Transcript);
  args.insert(args.end(), options_.Extra.begin(), options_.Extra.end());

  int out[2];
  if (::pipe2(out, O_CLOEXEC) != 0) {
    startError_ = std::string("pipe: ") + std::strerror(errno);
    return false;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  const int rc = ::posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(out[1]);
  if (rc != 0) {
    pid_ = -1;
    ::close(out[0]);
    startError_ = "cannot start " + options_.Program + ": " + std::strerror(rc);
    return false;
  }
  stdout_ = out[0];
  return true;
}

bool SimProcess::WaitForLink(int timeoutMs) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  struct stat st {};
  while (::stat(options_.Link.c_str(), &st) != 0) {
    if (Clock::now() > deadline) return false;
    ::usleep(2000);
  }
  return true;
}

std::string SimProcess::Command(const std::string& line) const {
  if (options_.Control.empty()) return "error: no control socket";
  const int s = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", options_.Control.c_str());
  if (s < 0 || ::connect(s, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0) {
    if (s >= 0) ::close(s);
    return "error: cannot connect to " + options_.Control;
  }
  const std::string text = line + "\n";
  std::string reply;
  if (::write(s, text.data(), text.size()) == static_cast<ssize_t>(text.size())) {
    const auto deadline = Clock::now() + std::chrono::seconds(5);
    // The reply ends with a line "ok" or a line "error: ...".
    auto complete = [&] {
      if (reply.empty() || reply.back() != '\n') return false;
      const std::size_t start = reply.rfind('\n', reply.size() - 2);
      const std::string last = reply.substr(start == std::string::npos ? 0 : start + 1);
      return last == "ok\n" || last.starts_with("error: ");
    };
    while (!complete() && ReadSome(s, reply, deadline)) {
    }
  }
  ::close(s);
  if (reply.ends_with("ok\n")) reply.resize(reply.size() - 3);
  else if (const std::size_t e = reply.find("error: "); e != std::string::npos) reply.erase(0, e);
  return reply;
}

std::string SimProcess::ReadUntilEof(int timeoutMs) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  std::string out = std::exchange(pending_, {});
  while (ReadSome(stdout_, out, deadline)) {
  }
  return out;
}

std::string SimProcess::Stop(int timeoutMs) {
  if (pid_ <= 0) return {};
  ::kill(pid_, SIGTERM);
  std::string summary = ReadUntilEof(timeoutMs);
  int status = 0;
  if (::waitpid(pid_, &status, WNOHANG) == 0) {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, &status, 0);
  }
  pid_ = -1;
  ::close(stdout_);
  stdout_ = -1;
  return summary;
}

}  // namespace qz::test
