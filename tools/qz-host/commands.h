#pragma once
// The harness's commands: what an operator types while the line runs. A
// command on a channel, station or user that does not exist is refused with
// the reason; nothing reaches the driver then.

#include <string>

#include "host_calls.h"
#include "layout.h"

namespace qzhost {

struct CommandResult {
  bool Ok = true;     // false: refused, or the driver did not take it
  bool Quit = false;
  std::string Message;  // what happened, or why the command was refused
};

// One line for the commands' help text on the screen.
extern const char* const kCommandSummary;
// The full help text (the "help" command).
extern const char* const kCommandHelp;

class Commands {
 public:
  Commands(HostCalls& host, const Layout& layout) : host_(host), layout_(layout) {}
  // Runs one command line; an empty line does nothing and says nothing.
  CommandResult Run(const std::string& line);

 private:
  CommandResult Write(const std::string& channel, const std::string& value, const std::string& type);
  CommandResult Read(const std::string& channel, const std::string& type);
  CommandResult RequestQq(const std::string& channel);
  CommandResult History(const std::string& station, const std::string& user);
  CommandResult HistoryAbort();
  CommandResult Samples(const std::string& station, const std::string& period);
  CommandResult SampleFile();
  std::string StationRefusal(const std::string& text) const;
  std::optional<double> ReadNumber(std::uint32_t channel, std::uint32_t type);
  void Send(std::uint32_t channel, std::uint32_t type, double value);

  HostCalls& host_;
  const Layout& layout_;
};

}  // namespace qzhost
