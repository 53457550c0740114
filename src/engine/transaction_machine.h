#pragma once
// The transaction machine: non-blocking steps over the line, each given the
// time and telling when the machine next needs to run.
//
// In its idle phase it chooses the next request (write queue, read queue,
// then the poll ring), has it encoded, raises RTS for the lead time, sends,
// holds RTS for the lag time, waits for the answer or the time-out, keeps
// the silence after it and sends the acknowledgement the decoder asked for.
// Every wait is a phase left when the cycle's timers have run far enough;
// the step says when that will be, or what on the line it waits for.

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

#include "config/driver_config.h"
#include "engine/engine_io.h"
#include "engine/engine_records.h"
#include "engine/engine_state.h"
#include "protocol/answer_pairing.h"
#include "protocol/frame_assembler.h"

namespace qz {

// When the machine needs its next step: at a time (on the clock's steady
// reading, ms; at or before now: at once), when bytes have arrived, when the
// output has drained; whichever comes first. Nothing set: only when
// something new comes from the host.
struct StepResult {
  std::optional<std::int64_t> At;
  std::int32_t WantBytes = 0;  // the bytes that must wait to be read for it to move on
  bool WantDrain = false;

  bool RunsAt(std::int64_t nowMs) const { return At && *At <= nowMs; }
};

class TransactionMachine {
 public:
  TransactionMachine(const EngineRecords& records, EngineIo& io);

  // One step at nowMs (the clock's SteadyMs); the cycle's timers have been
  // advanced to it.
  StepResult Step(std::int64_t nowMs);
  // When the machine needs its next step, as it stands at nowMs.
  StepResult Due(std::int64_t nowMs) const;

  // Moves the poll ring one position: binary inputs, analog inputs,
  // counters, counters with clearing, then each memory input (or the
  // memory-input table at once), then the next station.
  void AdvancePoll();

 private:
  void ChooseAndSend();
  const Request* ChooseAwakeHead(RequestQueue& queue);
  bool ChooseFromWriteQueue(ShortStr& frame);
  bool ChooseFromReadQueue(ShortStr& frame);
  void ChooseFromPollRing(ShortStr& frame);
  void StartTransmission(const ShortStr& frame);
  void MarkActiveStation();

  void RtsLead();
  void Transmitting();
  void RtsLag();
  void TimeoutTest();
  void AwaitAnswer();
  void Silence();
  void Acknowledge();
  void HandleTimeout();

  std::int32_t BytesAwaited() const;
  void Log(std::string_view label, std::string_view text) const;

  void QueueOutcome(bool success);
  void SendRequest();
  void Receive(const ShortStr& message);
  bool IsStaleAnswer(const ShortStr& message) const;
  void NoteExchangeEnd(bool answered);
  void Send(const ShortStr& text, Phase next);
  bool TxDone();
  void SetRts(bool on);
  void Beep(int frequency);

  bool Asleep(int station) const;
  StationRecord* StationAt(int n);
  Phase CurrentPhase() const { return engine_.ThreadPhase; }
  void SetPhase(Phase p) { engine_.ThreadPhase = p; }
  double AnswerTimeSeconds() const { return config_.AnswerTime.value(); }

  DriverConfig& config_;
  EngineState& engine_;
  qz::Log& log_;
  EngineIo& io_;
  FrameAssembler assembler_;
  bool accepted_ = false;
  // The request on the line: what answers it, and the position in the
  // received stream from which its answer can come (bytes already received
  // when it was written belong to earlier exchanges).
  AnswerKey expected_;
  std::uint64_t answersFrom_ = 0;
  // Per station: its last exchange ended with its answer (not a time-out).
  // A late answer of such a station is older than what it said since.
  std::array<bool, kMaxStations + 1> answeredLast_{};
  // Poll-ring choices in a row that gave no frame; -1 after a whole turn of
  // them or an empty choice of another kind.
  int emptyRingChoices_ = 0;
};

// The request kind of a poll-ring step (1..5; 0 also reads binary inputs).
RequestKind PollRingKind(std::uint16_t pollKind);

}  // namespace qz
