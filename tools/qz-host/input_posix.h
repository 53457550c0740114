#pragma once
// Command input on POSIX: readline on a terminal (the line being typed stays
// while the screen refreshes), plain reads from a pipe or file.

#include <memory>

#include "command_reader.h"

namespace qzhost {

// Reads from fd. On a terminal with readline (tty true) the prompt is shown
// on out; otherwise the bytes are split into lines as they come.
std::unique_ptr<CommandSource> MakePosixInput(int fd, bool tty, const char* prompt);

}  // namespace qzhost
