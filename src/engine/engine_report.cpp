#include "engine/engine_report.h"

#include "engine/engine_state.h"

namespace qz {

LineFigures StatisticsFigures(const EngineState& engine) {
  LineFigures figures;
  figures.CycleMs = engine.CycleMs;
  figures.MaxCycleMs = engine.MaxCycleMs;
  figures.AverageCycleMs = engine.CycleCount > 0 ? engine.CycleSumMs / engine.CycleCount : 0.0;
  figures.ReadQueued = static_cast<double>(engine.ReadQueue.Count());
  figures.WriteQueued = static_cast<double>(engine.WriteQueue.Count());
  figures.Sent = engine.SentCount.value();
  figures.Received = engine.ReceivedCount.value();
  figures.Errors = engine.ErrorCount.value();
  return figures;
}

void AddToMemo(EngineState& engine, Log& log, WindowModel* window) {
  if (engine.PendingEventText.empty()) return;
  AddToMemo(engine.PendingEventText.view(), log, window);
  engine.PendingEventText.clear();
}

}  // namespace qz
