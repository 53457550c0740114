#pragma once
// The figures of the status window's statistics lines as numbers.

#include <optional>
#include <string>
#include <vector>

namespace qzhost {

struct Statistics {
  std::optional<double> CycleMs, MaxCycleMs, AverageCycleMs;
  std::optional<double> PendingReads, PendingWrites;
  std::optional<double> Sent, Received, Errors;
  std::optional<double> MemoryKb;
};

// The numbers of a text in order; "5 868" (thousands grouped by a blank)
// is one number, and a decimal comma reads as a point.
std::vector<double> NumbersIn(const std::string& text);

// The six status lines in window order: cycle times, pending requests,
// message counters, log, port, memory.
Statistics ParseStatistics(const std::vector<std::string>& statusLines);

}  // namespace qzhost
