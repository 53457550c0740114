#pragma once
// What the engine shows of itself: the figures of the statistics lines and
// the hand-over of its pending event line to the status window.

#include "diag/statistics.h"

namespace qz {

struct EngineState;
class Log;
class WindowModel;

// Cycle times, queue lengths and message counters of the line.
LineFigures StatisticsFigures(const EngineState& engine);

// Moves PendingEventText into the event list and the log, then empties it.
void AddToMemo(EngineState& engine, Log& log, WindowModel* window);

}  // namespace qz
