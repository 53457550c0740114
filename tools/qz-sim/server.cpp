#include "server.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

#include "protocol/codecs.h"

namespace qz::sim {

namespace {

std::string Hex(std::string_view bytes) {
  std::string out = HexText(bytes);
  if (!out.empty()) out.pop_back();
  return out;
}

void WriteAll(int fd, std::string_view text) {
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n > 0) done += static_cast<std::size_t>(n);
    else if (n < 0 && errno == EINTR) continue;
    else return;
  }
}

}  // namespace

Server::Server(Responder& responder, int lineFd, ServerOptions options)
    : responder_(responder),
      lineFd_(lineFd),
      options_(std::move(options)),
      writer_(responder.Setup().Baud, responder.Setup().BitsPerChar, options_.Pace) {
  startUs_ = std::chrono::duration_cast<std::chrono::microseconds>(
                 std::chrono::steady_clock::now().time_since_epoch())
                 .count();
  if (::pipe(wake_) == 0) {
    for (int fd : wake_) ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
  }
  responder_.SetTranscript([this](const TranscriptEntry& e) { Write(e); });
}

Server::~Server() {
  responder_.SetTranscript(nullptr);
  for (Client& c : clients_) ::close(c.Fd);
  if (listenFd_ >= 0) {
    ::close(listenFd_);
    ::unlink(options_.ControlSocket.c_str());
  }
  for (int fd : wake_) {
    if (fd >= 0) ::close(fd);
  }
  if (transcript_ && ownTranscript_) std::fclose(transcript_);
  else if (transcript_) std::fflush(transcript_);
}

bool Server::Open(std::string& error) {
  if (options_.TranscriptPath == "-") {
    transcript_ = stderr;
  } else if (!options_.TranscriptPath.empty()) {
    transcript_ = std::fopen(options_.TranscriptPath.c_str(), "w");
    if (!transcript_) {
      error = "cannot write the transcript " + options_.TranscriptPath + ": " + std::strerror(errno);
      return false;
    }
    ownTranscript_ = true;
  }
  if (!options_.ControlSocket.empty()) {
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    if (options_.ControlSocket.size() >= sizeof addr.sun_path) {
      error = "control socket path too long: " + options_.ControlSocket;
      return false;
    }
    std::memcpy(addr.sun_path, options_.ControlSocket.c_str(), options_.ControlSocket.size() + 1);
    ::unlink(options_.ControlSocket.c_str());
    listenFd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listenFd_ < 0 || ::bind(listenFd_, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(listenFd_, 4) != 0) {
      error = "cannot listen on " + options_.ControlSocket + ": " + std::strerror(errno);
      return false;
    }
  }
  stdinOpen_ = options_.StdinCommands;
  return true;
}

std::int64_t Server::NowUs() const {
  return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now().time_since_epoch())
             .count() -
         startUs_;
}

std::int64_t Server::NowMs() const { return NowUs() / 1000; }

void Server::Stop() {
  stop_.store(true);
  if (wake_[1] >= 0) {
    const char c = 1;
    [[maybe_unused]] const ssize_t n = ::write(wake_[1], &c, 1);
  }
}

void Server::Post(std::string command) {
  {
    std::lock_guard guard(postLock_);
    posted_.push_back(std::move(command));
  }
  if (wake_[1] >= 0) {
    const char c = 2;
    [[maybe_unused]] const ssize_t n = ::write(wake_[1], &c, 1);
  }
}

void Server::Write(const TranscriptEntry& e) {
  if (!transcript_) return;
  std::fprintf(transcript_, "%10.3f %s", static_cast<double>(e.Ms) / 1000.0, e.Direction.c_str());
  if (!e.Bytes.empty()) std::fprintf(transcript_, " %s", Hex(e.Bytes).c_str());
  if (!e.Note.empty()) std::fprintf(transcript_, " ; %s", e.Note.c_str());
  std::fputc('\n', transcript_);
  std::fflush(transcript_);
}

void Server::Schedule(std::vector<Outgoing> out) {
  for (Outgoing& o : out) {
    auto at = std::upper_bound(queue_.begin(), queue_.end(), o.DueMs,
                               [](std::int64_t due, const Outgoing& x) { return due < x.DueMs; });
    queue_.insert(at, std::move(o));
  }
}

void Server::Transmit() {
  if (lineFd_ < 0) return;
  const std::int64_t nowUs = NowUs();
  if (!writer_.Busy() && !queue_.empty() && queue_.front().DueMs * 1000 <= nowUs) {
    Outgoing o = std::move(queue_.front());
    queue_.pop_front();
    Write({nowUs / 1000, "TX", o.Bytes, o.Note});
    writer_.Start(std::move(o.Bytes), nowUs);
  }
  if (writer_.Busy() && !writer_.WriteDue(lineFd_, nowUs)) {
    Write({nowUs / 1000, "--", {}, std::string("line write failed: ") + std::strerror(errno)});
    quit_ = true;
  }
}

void Server::ReadLine() {
  if (lineFd_ < 0) return;
  char buffer[512];
  while (true) {
    const ssize_t n = ::read(lineFd_, buffer, sizeof buffer);
    if (n > 0) {
      // Commands posted or due before these bytes arrived apply to them.
      RunPosted();
      RunScript();
      Schedule(responder_.Receive(std::string_view(buffer, static_cast<std::size_t>(n)), NowMs()));
      continue;
    }
    // EIO on a pty master while nobody holds the slave open: nothing to read.
    return;
  }
}

bool Server::StartUnplug(std::int64_t ms) {
  if (!options_.Unplug || !options_.Replug) return false;
  if (lineFd_ >= 0) {
    options_.Unplug();
    lineFd_ = -1;
    writer_.Drop();
    queue_.clear();  // answers due on the old line are lost with it
    Write({NowMs(), "--", {}, "line unplugged"});
  }
  replugAtMs_ = NowMs() + ms;
  return true;
}

void Server::Replug() {
  std::string error;
  const int fd = options_.Replug(error);
  if (fd < 0) {
    Write({NowMs(), "--", {}, "replug failed, again in 1 s: " + error});
    replugAtMs_ = NowMs() + 1000;
    return;
  }
  lineFd_ = fd;
  replugAtMs_ = -1;
  Write({NowMs(), "--", {}, "line replugged"});
}

std::string Server::RunCommand(std::string_view line, bool& quit) {
  CommandResult r = Execute(responder_, line, NowMs());
  if (r.Ok && r.UnplugMs >= 0 && !StartUnplug(r.UnplugMs)) r = {false, false, "this line cannot be unplugged (a real port)"};
  quit = r.Quit;
  Write({NowMs(), "--", {}, "command: " + std::string(line) + (r.Ok ? "" : " -> " + r.Text)});
  std::string out = r.Ok ? r.Text : std::string();
  if (!out.empty() && out.back() != '\n') out += '\n';
  out += r.Ok ? "ok\n" : "error: " + r.Text + "\n";
  return out;
}

void Server::ReadStdin() {
  char buffer[512];
  const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
  if (n <= 0) {
    if (n == 0 || (errno != EINTR && errno != EAGAIN)) stdinOpen_ = false;
    return;
  }
  stdinBuffer_.append(buffer, static_cast<std::size_t>(n));
  std::size_t nl;
  while ((nl = stdinBuffer_.find('\n')) != std::string::npos) {
    const std::string line = stdinBuffer_.substr(0, nl);
    stdinBuffer_.erase(0, nl + 1);
    bool quit = false;
    const std::string reply = RunCommand(line, quit);
    std::fputs(reply.c_str(), stdout);
    std::fflush(stdout);
    if (quit) quit_ = true;
  }
}

void Server::AcceptClient() {
  const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
  if (fd >= 0) clients_.push_back({fd, {}});
}

void Server::ReadClient(Client& c) {
  char buffer[512];
  const ssize_t n = ::read(c.Fd, buffer, sizeof buffer);
  if (n <= 0) {
    ::close(c.Fd);
    c.Fd = -1;
    return;
  }
  c.In.append(buffer, static_cast<std::size_t>(n));
  std::size_t nl;
  while ((nl = c.In.find('\n')) != std::string::npos) {
    const std::string line = c.In.substr(0, nl);
    c.In.erase(0, nl + 1);
    bool quit = false;
    WriteAll(c.Fd, RunCommand(line, quit));
    if (quit) quit_ = true;
  }
  if (c.In.size() > 65536) {  // no line end in sight: a confused client
    ::close(c.Fd);
    c.Fd = -1;
  }
}

void Server::RunScript() {
  const std::int64_t now = NowMs();
  while (scriptNext_ < options_.Script.size() && options_.Script[scriptNext_].AtMs <= now) {
    bool quit = false;
    const std::string reply = RunCommand(options_.Script[scriptNext_].Command, quit);
    if (reply.starts_with("error") || reply.find("\nerror") != std::string::npos) {
      std::fprintf(stderr, "qz-sim: script line %d: %s", options_.Script[scriptNext_].Line, reply.c_str());
    }
    if (quit) quit_ = true;
    ++scriptNext_;
  }
}

void Server::RunPosted() {
  std::vector<std::string> lines;
  {
    std::lock_guard guard(postLock_);
    lines.swap(posted_);
  }
  for (const std::string& line : lines) {
    bool quit = false;
    RunCommand(line, quit);
    if (quit) quit_ = true;
  }
}

int Server::PollTimeoutMs() const {
  std::int64_t wait = options_.TickMs;
  const std::int64_t nowUs = NowUs();
  if (writer_.Busy()) wait = std::min(wait, (writer_.NextDueUs() - nowUs) / 1000);
  else if (!queue_.empty()) wait = std::min(wait, (queue_.front().DueMs * 1000 - nowUs + 999) / 1000);
  if (scriptNext_ < options_.Script.size()) wait = std::min(wait, options_.Script[scriptNext_].AtMs - nowUs / 1000);
  if (replugAtMs_ >= 0) wait = std::min(wait, replugAtMs_ - nowUs / 1000);
  return static_cast<int>(std::max<std::int64_t>(wait, 0));
}

void Server::Run() {
  RunScript();  // lines at time 0 hold before the first request
  while (!stop_.load() && !quit_) {
    std::vector<pollfd> fds;
    fds.push_back({lineFd_, POLLIN, 0});
    fds.push_back({wake_[0], POLLIN, 0});
    const bool useStdin = stdinOpen_;
    if (useStdin) fds.push_back({STDIN_FILENO, POLLIN, 0});
    if (listenFd_ >= 0) fds.push_back({listenFd_, POLLIN, 0});
    const std::size_t firstClient = fds.size();
    for (const Client& c : clients_) fds.push_back({c.Fd, POLLIN, 0});
    int timeout = PollTimeoutMs();
    if (::poll(fds.data(), fds.size(), timeout) < 0 && errno != EINTR) break;
    if (replugAtMs_ >= 0 && NowMs() >= replugAtMs_) Replug();
    if (fds[0].revents & POLLIN) ReadLine();
    if (fds[1].revents & POLLIN) {
      char drain[64];
      while (::read(wake_[0], drain, sizeof drain) > 0) {
      }
    }
    std::size_t i = 2;
    if (useStdin && (fds[i++].revents & (POLLIN | POLLHUP))) ReadStdin();
    if (listenFd_ >= 0 && (fds[i++].revents & POLLIN)) AcceptClient();
    for (std::size_t k = 0; k < clients_.size() && firstClient + k < fds.size(); ++k) {
      if (fds[firstClient + k].revents & (POLLIN | POLLHUP)) ReadClient(clients_[k]);
    }
    std::erase_if(clients_, [](const Client& c) { return c.Fd < 0; });
    RunPosted();
    RunScript();
    Schedule(responder_.Tick(NowMs()));
    Transmit();
  }
}

}  // namespace qz::sim
