#pragma once
// Interprets one accepted message from the line, an answer to a request or
// a station's own report, and writes its content into the sender's station
// record. Leaves the event-list line in PendingEventText and, for reports
// that demand one, the acknowledgement in the engine's AckText.

#include <cstdint>
#include <string_view>

namespace qz {

struct DriverState;

// Whether the values a message carries are stored. A late answer, one that
// came after its request had been given up, is read only for its reports
// and status: its values may be older than the ones already stored.
enum class AnswerValues : std::uint8_t { Store, Skip };

// 1 when the message came from a known station and was decoded, else 0.
int DecodeMess(DriverState& state, std::string_view received, std::string_view sent,
               AnswerValues values = AnswerValues::Store);

// The station's text for an "E" answer's error code; empty above 8.
std::string_view ErrorText(unsigned code);

}  // namespace qz
