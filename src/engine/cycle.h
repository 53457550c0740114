#pragma once
// One cycle of the communication thread, without its wait: measure the
// cycle, then, for as long as the machine can move on at once, advance the
// timers and the sleep and history supervision, make a step of the
// transaction machine and decode at most one received answer. It tells
// when the next cycle is due.

#include "engine/engine_io.h"
#include "engine/engine_records.h"
#include "engine/transaction_machine.h"
#include "history/history_query.h"

namespace qz {

class CommunicationCycle {
 public:
  // Decodes one received answer and tells the decoder's result (0..9).
  using Decoder = std::function<int(const ReceivedEntry&)>;

  // statistics: refreshes the window's statistics lines (once a second).
  CommunicationCycle(const EngineRecords& records, EngineIo& io, Decoder decoder, std::function<void()> statistics);

  // Steps 2 to 7 of the cycle, repeated while the machine can move on at
  // once; portOpen: the machine steps only on an open port. Tells when the
  // next cycle is due: the machine's time or the line events it waits for,
  // the next statistics second, the end of a sleep or of a history read-out.
  // idleMs: the longest wait while the machine has nothing to do (no time
  // of its own) or waits on the line; 0: no limit.
  StepResult Run(bool portOpen, std::int32_t idleMs = 0);

  void AdvanceTimers();
  // Decodes the oldest received answer, if any.
  void ExtractData();

  TransactionMachine& Machine() { return machine_; }

 private:
  void MeasureCycle();
  void Work(bool portOpen, StepResult& next);
  void AddSupervisionTimes(std::int64_t nowMs, StepResult& next) const;
  void SuperviseHistory(double seconds);
  void AdvanceStationSleep(double seconds);
  void AdvanceFullSleep(double seconds);
  void HandOverPending();

  DriverConfig& config_;
  EngineState& engine_;
  HistoryQuery& query_;
  EngineIo& io_;
  Decoder decoder_;
  std::function<void()> statistics_;
  TransactionMachine machine_;
};

// A local date and time as a date-time value: days since 1899-12-30.
double DateTimeValue(const LocalDateTime& t);

// The kind 15 request that writes the station's new user position after a
// history read-out: BA 01 (user + 4) and the position, low byte first.
Request UserPositionWrite(const HistoryQuery& query, std::int32_t position);

}  // namespace qz
