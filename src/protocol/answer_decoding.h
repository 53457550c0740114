#pragma once
// Interprets one accepted message from the line, an answer to a request or
// a station's own report, and writes its content into the sender's station
// record, the history image and query, and the sample read-out. What is
// left for the engine (the event-list line, the acknowledgement a report
// demands, the history reads a position answer plans) comes back in the
// outcome.

#include <cstdint>
#include <string_view>
#include <vector>

#include "config/request.h"
#include "config/short_str.h"

namespace qz {

struct DriverConfig;
struct HistoryStore;
struct SampleReadout;
class Log;

// The records a decoded message writes into.
struct AnswerTarget {
  DriverConfig& Config;
  HistoryStore& History;
  SampleReadout& Samples;
  qz::Log& Log;
};

struct DecodeOutcome {
  // The message came from a known station and was decoded; nothing below
  // is set otherwise.
  bool Accepted = false;
  // The event-list line of the message; it replaces the pending one.
  ShortStr EventText;
  // A report that demands an acknowledgement: the frame to send.
  bool AckRequired = false;
  ShortStr AckFrame;
  // Read requests of the history records the station has for the host.
  std::vector<Request> HistoryReads;
};

// Whether the values a message carries are stored. A late answer, one that
// came after its request had been given up, is read only for its reports
// and status: its values may be older than the ones already stored.
enum class AnswerValues : std::uint8_t { Store, Skip };

DecodeOutcome DecodeMess(const AnswerTarget& target, std::string_view received, std::string_view sent,
                         AnswerValues values = AnswerValues::Store);

// The station's text for an "E" answer's error code; empty above 8.
std::string_view ErrorText(unsigned code);

}  // namespace qz
