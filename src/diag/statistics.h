#pragma once
// The statistics lines of the status window, refreshed once a second by the
// communication thread, and the event hand-over from that thread.

#include <cstddef>
#include <string>
#include <string_view>

namespace qz {

class Log;
class WindowModel;

// What the statistics lines show of the line, as the engine counts it.
struct LineFigures {
  double CycleMs = 0;
  double MaxCycleMs = 0;
  double AverageCycleMs = 0;
  double ReadQueued = 0;
  double WriteQueued = 0;
  double Sent = 0;
  double Received = 0;
  double Errors = 0;
};

// Cycle times, pending requests, message counters and memory in use.
void ShowStatistics(const LineFigures& figures, WindowModel* window);

// Puts one event line into the event list and the log.
void AddToMemo(std::string_view eventText, Log& log, WindowModel* window);

// Bytes of memory the process uses (resident set on POSIX).
std::size_t ProcessMemoryBytes();

// 12345 as "12 345": thousands grouped by a blank.
std::string GroupedThousands(unsigned long long value);

}  // namespace qz
