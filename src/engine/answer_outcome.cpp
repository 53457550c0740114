#include "engine/answer_outcome.h"

#include "engine/engine_state.h"

namespace qz {

int ApplyAnswerOutcome(EngineState& engine, const DecodeOutcome& outcome) {
  if (!outcome.Accepted) return 0;
  engine.PendingEventText = outcome.EventText;
  engine.AckPending = outcome.AckRequired ? 1 : 0;
  if (outcome.AckRequired) engine.AckText = outcome.AckFrame;
  for (const Request& r : outcome.HistoryReads) engine.ReadQueue.Insert(r);
  return 1;
}

}  // namespace qz
