#pragma once
// The command language of the simulator: the same lines come from stdin,
// the control socket, the timed script and (set-up commands) the scenario.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "responder.h"

namespace qz::sim {

struct CommandResult {
  bool Ok = true;
  bool Quit = false;
  std::string Text;  // answer to show, or the error
  // unplug: the line goes away for this long, then comes back at the same
  // path; the server carries it out. -1: no unplug.
  std::int64_t UnplugMs = -1;
};

// Splits a line into words; "quoted text" is one word (without the quotes);
// a "#" outside quotes starts a comment.
std::vector<std::string> SplitWords(std::string_view line, std::string* error = nullptr);

// "500ms", "2s", "1.5" (seconds), "2m" -> milliseconds.
bool ParseDuration(std::string_view word, std::int64_t& ms);
// Decimal, 0x.. or $.. hexadecimal, or a real.
bool ParseNumber(std::string_view word, double& value);

CommandResult Execute(Responder& responder, std::string_view line, std::int64_t nowMs);

// Runs every line of a scenario; stops at the first bad line with
// "FILE:LINE: message" in error.
bool LoadScenario(Responder& responder, std::string_view text, std::string_view name, std::string& error);

struct ScriptLine {
  std::int64_t AtMs = 0;
  std::string Command;
  int Line = 0;
};

// "TIME COMMAND" (from the start) or "+TIME COMMAND" (after the previous
// line); returns the lines in time order.
bool ParseScript(std::string_view text, std::string_view name, std::vector<ScriptLine>& out, std::string& error);

}  // namespace qz::sim
