#include "host/answer_handling.h"

#include "engine/answer_outcome.h"
#include "host/driver_state.h"

namespace qz {

int DecodeAnswer(DriverState& state, std::string_view received, std::string_view sent, AnswerValues values) {
  const AnswerTarget target{state.Config, state.History, state.Samples, state.Log};
  return ApplyAnswerOutcome(state.Engine, DecodeMess(target, received, sent, values));
}

}  // namespace qz
