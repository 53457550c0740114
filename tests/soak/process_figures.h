#pragma once
// What a process holds, read from /proc: resident memory, open descriptors,
// threads, and the CPU time it has used.

#include <sys/types.h>

#include <cstdint>

namespace qz::soak {

struct ProcessFigures {
  std::int64_t RssKb = 0;
  int Descriptors = 0;
  int Threads = 0;
  double CpuSeconds = 0;  // user + system
};

// Figures of the process pid (0: this process); zeros where /proc has none.
ProcessFigures ReadProcessFigures(pid_t pid = 0);

}  // namespace qz::soak
