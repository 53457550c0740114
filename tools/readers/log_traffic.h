#pragma once
// The traffic of a driver log: the hex dumps turned back into frames with
// their direction, station and request, and the check-byte failures,
// time-outs and sleep events between them.

#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "civil_time.h"
#include "log_lines.h"

namespace qz::readers {

class LogStations;

enum class TrafficKind : std::uint8_t {
  Sent,            // a request frame, Prefix and Suffix included
  Received,        // an accepted message from a known station
  Acknowledged,    // the driver's acknowledgement of a report
  BadCheck,        // a message dropped for its check byte
  ForeignMaster,   // a message for another control centre
  UnknownStation,  // a message from an address without a station
  Timeout,
  SleepStart,
  SleepEnd,
  AllAsleep,       // every station asleep: the line rests
  AllAsleepEnd,
  Event,           // another line of the event list
};

// "sent", "received", "timeout", ...
const char* TrafficKindName(TrafficKind kind);

struct TrafficEvent {
  TrafficKind Kind = TrafficKind::Event;
  std::size_t Line = 0;
  CivilTime Time;
  std::int64_t Seconds = 0;
  int Station = -1;      // address; -1 not known
  std::string Name;      // UTF-8, with a parameter file
  int RequestKind = -1;  // of a sent frame, and of the request an answer answers
  std::string Item;      // what a sent frame asks for
  std::string Bytes;     // the frame or message
  std::string Text;      // UTF-8: the event text, or what the decoder made of an answer
  std::string Values;    // UTF-8: the values an answer carried (with a parameter file)
  std::optional<std::int64_t> AnswerSeconds;  // from the request to its answer
};

// Reads log lines one by one; stations (may be null) give names, framing
// and the decoding of answers.
class TrafficReader {
 public:
  explicit TrafficReader(LogStations* stations) : stations_(stations) {}

  void Take(const LogLine& line);
  // Ends a dump that the log ends with.
  void Finish();
  // The events completed so far, in the order of the log.
  std::vector<TrafficEvent> Events();

 private:
  struct Dump {
    std::string Label;
    LogLine Head;
    std::string Bytes;
  };
  struct Waiting {
    int Station = -1;
    int Kind = -1;
    std::int64_t Seconds = 0;
    std::string Frame;
  };

  void EndDump();
  void Sent(const Dump& d);
  void Received(const Dump& d);
  void Memo(const LogLine& line);
  void ReceiveStep(const LogLine& line);
  TrafficEvent Base(TrafficKind kind, const LogLine& line, int station) const;
  int StationOfText(const std::string& cp1250) const;
  void Emit(TrafficEvent e);

  LogStations* stations_;
  std::optional<Dump> dump_;
  std::optional<std::pair<int, int>> codeMess_;  // station address and kind of the next frame
  std::optional<Waiting> waiting_;
  enum class Rx : std::uint8_t { Idle, Message, Checked } rx_ = Rx::Idle;
  LogLine rxLine_;
  std::deque<TrafficEvent> events_;
};

struct StationTraffic {
  std::string Name;
  std::size_t Requests = 0, Answers = 0, Timeouts = 0, BadChecks = 0, Sleeps = 0, Reports = 0;
  std::size_t Timed = 0;  // answers with an answer time
  std::int64_t AnswerMin = 0, AnswerMax = 0, AnswerSum = 0;
};

// Per station address (-1: events without a station).
std::map<int, StationTraffic> SummariseTraffic(const std::vector<TrafficEvent>& events);

}  // namespace qz::readers
