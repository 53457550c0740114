#pragma once
// The statistics lines of the status window, refreshed once a second by the
// communication thread, and the event hand-over from that thread.

#include <cstddef>
#include <string>

namespace qz {

struct DriverState;
class WindowModel;

// Cycle times, pending requests, message counters and memory in use.
void ShowStatistics(const DriverState& state, WindowModel* window);

// Moves PendingEventText into the event list and the log, then empties it.
void AddToMemo(DriverState& state, WindowModel* window);

// Bytes of memory the process uses (resident set on POSIX).
std::size_t ProcessMemoryBytes();

// 12345 as "12 345": thousands grouped by a blank.
std::string GroupedThousands(unsigned long long value);

}  // namespace qz
