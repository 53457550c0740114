#pragma once
// One message from the line through the instance: decoded into the
// configuration, history and sample records, its outcome handed to the
// engine. The communication cycle's decoder.

#include <string_view>

#include "protocol/answer_decoding.h"

namespace qz {

struct DriverState;

// 1 when the message came from a known station and was decoded, else 0.
int DecodeAnswer(DriverState& state, std::string_view received, std::string_view sent,
               AnswerValues values = AnswerValues::Store);

}  // namespace qz
