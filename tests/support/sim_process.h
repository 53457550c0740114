#pragma once
// The station simulator (qz-sim) as a child process on a pty link: started
// with a parameter file and optional scenario and script, commanded over its
// control socket, stopped with SIGTERM (which makes it print its summary).

#include <sys/types.h>

#include <string>
#include <vector>

namespace qz::test {

struct SimOptions {
  std::string Program;     // path of qz-sim
  std::string ParFile;     // required
  std::string Link;        // the pty link the driver opens (QZ_COM<n>)
  std::string Device;      // instead of Link: a serial device qz-sim opens itself
  std::string Control;     // control socket; empty: none
  std::string Scenario;    // optional
  std::string Script;      // optional
  std::string Transcript;  // optional file
  std::vector<std::string> Extra;  // more options, e.g. "--no-pace", "--baud", "9600"
};

class SimProcess {
 public:
  explicit SimProcess(SimOptions options);
  ~SimProcess();
  SimProcess(const SimProcess&) = delete;
  SimProcess& operator=(const SimProcess&) = delete;

  // The simulator runs and its pty link exists.
  bool Ready() const { return ready_; }
  // Why it is not ready (the simulator's first output or the failure).
  const std::string& StartError() const { return startError_; }
  const std::string& Link() const { return options_.Link; }

  // One command line over the control socket; the reply without the closing
  // "ok" line. Replies that failed start with "error: ".
  std::string Command(const std::string& line) const;

  // SIGTERM, then waits for the exit; returns what the simulator printed
  // after its first line (the summary). Stops it only once.
  std::string Stop(int timeoutMs = 3000);

 private:
  bool Spawn();
  bool WaitForLink(int timeoutMs);
  std::string ReadUntilEof(int timeoutMs);

  SimOptions options_;
  pid_t pid_ = -1;
  int stdout_ = -1;
  bool ready_ = false;
  std::string startError_;
  std::string pending_;  // output read past the first line
};

}  // namespace qz::test
