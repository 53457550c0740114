#pragma once
// The stations of one line: takes the bytes the control centre sends,
// answers every request, sends reports and checks their acknowledgement,
// injects faults, runs value changes and grows the history rings. Pure:
// every call gets the simulator time in milliseconds, and the answers come
// back with the moment they are due on the line.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "dynamics.h"
#include "sim_config.h"
#include "station.h"
#include "wire.h"

namespace qz::sim {

enum class FaultKind { Silence, BadCheck, Garbage, Truncate, Foreign, Late, Error };

// "silence", "badcheck", "garbage", "truncate", "foreign", "late", "error".
const char* FaultName(FaultKind kind);
std::optional<FaultKind> FaultByName(std::string_view name);

struct Fault {
  FaultKind Kind = FaultKind::Silence;
  int Arg = -1;        // garbage bytes, bytes kept, delay ms, error code; -1 default
  int Remaining = -1;  // answers still affected; -1 until cleared
};

struct Outgoing {
  std::string Bytes;
  std::int64_t DueMs = 0;
  std::uint8_t Station = 0;
  std::string Note;
};

struct TranscriptEntry {
  std::int64_t Ms = 0;
  std::string Direction;  // "RX", "TX" or "--" for events
  std::string Bytes;
  std::string Note;
};
using TranscriptSink = std::function<void(const TranscriptEntry&)>;

struct StationStats {
  std::uint64_t Requests = 0;
  std::uint64_t Answers = 0;
  std::uint64_t Silenced = 0;
  std::uint64_t Faulted = 0;
  std::uint64_t ErrorAnswers = 0;
  std::uint64_t Reports = 0;
  std::uint64_t AcksOk = 0;
  std::uint64_t AcksBad = 0;
  std::uint64_t AcksMissing = 0;
  std::uint64_t Writes = 0;  // write requests applied (b, n, k, QQ)
};

struct LineStats {
  std::uint64_t Frames = 0;      // messages whose check byte held
  std::uint64_t BadCheck = 0;
  std::uint64_t Stale = 0;       // partial frames abandoned after a pause
  std::uint64_t Malformed = 0;   // header that does not fit or unknown kind
  std::uint64_t NotOurs = 0;     // for a station the simulator does not play, or another master
  std::uint64_t Unexpected = 0;  // acknowledgements nobody waited for
};

struct ResponderOptions {
  int TurnaroundMs = 5;       // from the request's last byte to the answer
  int AckTimeoutMs = 3000;    // wait for an acknowledgement after a report leaves
  int StaleFrameMs = 500;     // pause after which a partial frame is dropped
  StationSeconds WallBase = 0;  // station clock at simulator time 0
};

class Responder {
 public:
  Responder(SimSetup setup, ResponderOptions options);

  void SetTranscript(TranscriptSink sink) { transcript_ = std::move(sink); }
  const SimSetup& Setup() const { return setup_; }
  const ResponderOptions& Options() const { return options_; }
  void SetTurnaround(int ms) { options_.TurnaroundMs = ms; }

  // Bytes from the line; returns the answers they call for.
  std::vector<Outgoing> Receive(std::string_view bytes, std::int64_t nowMs);
  // Time passes: value changes, history growth, immediate reports,
  // acknowledgement time-outs, abandoned partial frames.
  std::vector<Outgoing> Tick(std::int64_t nowMs);

  Station* Find(std::uint8_t address);
  const Station* Find(std::uint8_t address) const;
  std::vector<std::uint8_t> Addresses() const;

  void AddFault(std::uint8_t station, const Fault& fault);
  void ClearFaults(std::uint8_t station, std::optional<FaultKind> kind);
  const std::vector<Fault>& Faults(std::uint8_t station) const;

  // A report "H" or "X": with now it leaves at the next tick as a frame of
  // its own; otherwise it rides in front of the station's next answer.
  void QueueReport(std::uint8_t station, char code, bool now);

  void AddDynamic(Dynamic d);
  void RemoveDynamics(std::uint8_t station);
  // A history record every intervalMs (0 stops it), value = analog input 1.
  void SetHistoryEvery(std::uint8_t station, std::int64_t intervalMs, std::uint16_t code, std::int64_t nowMs);

  StationSeconds WallNow(std::int64_t nowMs) const { return options_.WallBase + nowMs / 1000; }

  const StationStats& Stats(std::uint8_t station) const;
  const LineStats& Line() const { return line_; }
  // One line per station and one for the line.
  std::string Summary() const;

 private:
  struct PerStation {
    std::unique_ptr<Station> Sim;
    std::vector<Fault> Faults;
    StationStats Stats;
    char PiggyReport = 0;
    char NowReport = 0;
    std::string AwaitedAck;  // message expected back, empty when none
    std::int64_t AckDeadline = 0;
    std::int64_t HistoryEveryMs = 0;
    std::int64_t HistoryNextMs = 0;
    std::uint16_t HistoryCode = 1;
  };

  void OnMessage(std::string_view message);
  void OnDropped(FrameReceiver::Drop why, std::string_view bytes);
  void Answer(PerStation& s, std::string body, bool report, bool faulted);
  bool TakeFault(PerStation& s, FaultKind kind, int* arg);
  void Note(std::string_view text, std::string_view bytes = {});
  PerStation* FindEntry(std::uint8_t address);
  std::string UnsolicitedBody(PerStation& s, char code);
  void CheckAckTimeouts(std::int64_t nowMs);

  SimSetup setup_;
  ResponderOptions options_;
  std::map<std::uint8_t, PerStation> stations_;
  std::vector<Dynamic> dynamics_;
  FrameReceiver receiver_;
  LineStats line_;
  TranscriptSink transcript_;
  std::vector<Outgoing> pending_;  // collected during one call
  std::int64_t now_ = 0;
  std::int64_t lastByteMs_ = 0;
};

}  // namespace qz::sim
