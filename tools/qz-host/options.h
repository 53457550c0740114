#pragma once
// The harness's command line.

#include <optional>
#include <ostream>
#include <string>

namespace qzhost {

struct Options {
  std::string Driver;
  std::string Par;
  std::string Name = "QZHOST";
  unsigned Level = 10;
  int IntervalMs = 1000;
  double ForSeconds = 0;  // 0: until stopped
  bool Json = false;
  bool Show = false;
};

// Parses the arguments into o. Returns the exit code when the program
// should end at once (--help and --version: 0, a bad command line: 2),
// having written what it has to say to out or err.
std::optional<int> ParseOptions(int argc, const char* const* argv, Options& o, std::ostream& out, std::ostream& err);

}  // namespace qzhost
