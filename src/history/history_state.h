#pragma once
// The states of a history read-out (HistoryQuery::HistoryState), as the
// host reads them on its channel and the engine, the decoder and the host
// requests move between them. The numbers are the ones the host sees.

#include <cstdint>

namespace qz {

enum class HistoryPhase : std::int32_t {
  Idle = 0,
  InvalidSelection = 1,  // station or user out of range
  ReadingRecords = 2,
  Failed = 4,
  ReadingPositions = 5,
  Selected = 6,  // station and user chosen
  Aborted = 7,
  WritingUserPos = 8,
  TimedOut = 9,
  Finished = 255,
};

}  // namespace qz
