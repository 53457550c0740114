#pragma once
// What the three readers share on the command line: --version, exit codes,
// warnings on stderr.

#include <CLI/CLI.hpp>
#include <string>
#include <string_view>

namespace qz::readers {

inline constexpr int kExitOk = 0;
inline constexpr int kExitError = 1;    // nothing could be read
inline constexpr int kExitUsage = 2;
inline constexpr int kExitPartial = 3;  // read in part, with a warning

// An app with the tool's name, its description and --version.
void SetUpApp(CLI::App& app);

// Parses; -1 to go on, else the exit code (0 after --help or --version,
// kExitUsage after a usage error, whose message goes to stderr).
int Parse(CLI::App& app, int argc, char** argv);

// "qz-hdb: FILE: text" on stderr.
void Warn(std::string_view tool, std::string_view file, std::string_view text);

// The worse of two exit codes: error over partial over ok.
int WorseExit(int a, int b);

}  // namespace qz::readers
