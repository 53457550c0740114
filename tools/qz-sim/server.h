#pragma once
// The simulator's event loop: reads the line, lets the responder answer,
// writes the answers at the line's pace after the turnaround, takes
// commands from stdin and a local socket, runs the timed script and writes
// the transcript.

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "commands.h"
#include "line_io.h"
#include "responder.h"

namespace qz::sim {

struct ServerOptions {
  bool Pace = true;
  bool StdinCommands = false;
  std::string ControlSocket;   // path of a unix socket for commands; empty: none
  std::string TranscriptPath;  // "-" writes to stderr; empty: none
  std::vector<ScriptLine> Script;
  int TickMs = 20;
  // The unplug command: takes the line away, and brings it back with a new
  // descriptor (-1 with a message when that fails). Unset: a line that
  // cannot be unplugged (a real port).
  std::function<void()> Unplug;
  std::function<int(std::string& error)> Replug;
};

class Server {
 public:
  Server(Responder& responder, int lineFd, ServerOptions options);
  ~Server();
  Server(const Server&) = delete;
  Server& operator=(const Server&) = delete;

  // False with a message when the control socket or transcript cannot be opened.
  bool Open(std::string& error);
  // Serves until Stop(), a quit command or a line failure.
  void Run();
  // Safe from another thread and from a signal handler.
  void Stop();
  // Queues a command as if typed; safe from another thread.
  void Post(std::string command);

  std::int64_t NowMs() const;

 private:
  struct Client {
    int Fd = -1;
    std::string In;
  };

  std::int64_t NowUs() const;
  void ReadLine();
  void ReadStdin();
  void AcceptClient();
  void ReadClient(Client& c);
  std::string RunCommand(std::string_view line, bool& quit);
  void Schedule(std::vector<Outgoing> out);
  void Transmit();
  void RunScript();
  void RunPosted();
  void Write(const TranscriptEntry& e);
  int PollTimeoutMs() const;
  bool StartUnplug(std::int64_t ms);
  void Replug();

  Responder& responder_;
  int lineFd_;
  ServerOptions options_;
  PacedWriter writer_;
  std::deque<Outgoing> queue_;  // by due time
  std::vector<Client> clients_;
  int listenFd_ = -1;
  int wake_[2] = {-1, -1};
  std::FILE* transcript_ = nullptr;
  bool ownTranscript_ = false;
  std::string stdinBuffer_;
  bool stdinOpen_ = false;
  std::size_t scriptNext_ = 0;
  std::int64_t startUs_ = 0;
  std::int64_t replugAtMs_ = -1;  // while unplugged: when the line comes back
  std::atomic<bool> stop_{false};
  bool quit_ = false;
  std::mutex postLock_;
  std::vector<std::string> posted_;
};

}  // namespace qz::sim
