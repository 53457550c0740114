#pragma once
// Lines of the driver's log: "10.12.2026 13:56:55 LABEL : TEXT", Windows-1250,
// CR LF. The date may also be written 2026-12-10 or 10/12/2026, as the
// system's short date format gives it.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "civil_time.h"

namespace qz::readers {

struct LogLine {
  std::size_t Number = 0;  // 1-based line of the file
  CivilTime Time;
  std::int64_t Seconds = 0;  // since 2000-01-01, to compare
  std::string Label;         // Windows-1250, as written
  std::string Text;
};

// The line without its line end; nothing when it is no log line.
std::optional<LogLine> ParseLogLine(std::string_view line, std::size_t number);

// Cuts bytes into lines as they arrive; a line is complete at its LF, and
// its CR is dropped. A partial last line waits for the rest.
class LineSplitter {
 public:
  void Feed(std::string_view bytes);
  // The complete lines since the last call.
  std::vector<std::string> Take();
  // The partial line as a line of its own (at the end of a file that is
  // not followed).
  std::optional<std::string> TakeRest();

 private:
  std::string pending_;
  std::vector<std::string> lines_;
};

}  // namespace qz::readers
