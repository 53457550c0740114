#pragma once
// Interprets one accepted message from the line, an answer to a request or
// a station's own report, and writes its content into the sender's station
// record. Leaves the event-list line in PendingEventText and, for reports
// that demand one, the acknowledgement in the engine's AckText.

#include <string_view>

namespace qz {

struct DriverState;

// 1 when the message came from a known station and was decoded, else 0.
int DecodeMess(DriverState& state, std::string_view received, std::string_view sent);

// The station's text for an "E" answer's error code; empty above 8.
std::string_view ErrorText(unsigned code);

}  // namespace qz
