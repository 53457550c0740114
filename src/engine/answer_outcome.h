#pragma once
// What the engine takes from a decoded message: the event-list line for the
// status window, the acknowledgement a report demands, and the history
// reads a position answer planned.

#include "protocol/answer_decoding.h"

namespace qz {

struct EngineState;

// 1 when the message was accepted (its line replaces the pending one, its
// acknowledgement, or none, is the pending one, its history reads join the
// read queue); 0, with the engine as it was, when it was not.
int ApplyAnswerOutcome(EngineState& engine, const DecodeOutcome& outcome);

}  // namespace qz
