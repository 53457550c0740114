#pragma once
// Working fields of the communication engine: the queues, the transaction
// machine's phase and buffers, the poll ring, the timers and the line
// statistics. Owned by the instance; guarded by the instance lock.

#include <array>
#include <cstdint>

#include "config/index1.h"
#include "config/real6.h"
#include "config/short_str.h"
#include "engine/request_queue.h"

namespace qz {

// Phases of the transaction machine.
enum class Phase : std::uint8_t {
  Idle = 0,
  Transmit = 1,
  AwaitAnswer = 2,
  Silence = 3,
  Acknowledge = 5,
  RtsLead = 6,
  RtsLag = 7,
  Timeout = 255,
};

// Millisecond timers of the cycle; the others advance with these.
enum class PhaseTimer : std::size_t { Silence = 1, Stats = 10, RtsOn = 11, RtsOff = 12 };
inline constexpr std::size_t kPhaseTimerCount = 12;

struct EngineState {
  RequestQueue WriteQueue;
  RequestQueue ReadQueue;
  ReceivedList Received;
  std::int32_t MergeLimit = 60;

  // Transaction machine.
  Phase ThreadPhase = Phase::Idle;  // any other value: idle at the next step
  ShortStr TxMessage;     // the frame being sent
  ShortStr LastSent;      // the frame last written; travels with the next answer
  ShortStr PrefixBuffer;  // receive buffers
  ShortStr AnswerBuffer;
  std::uint8_t AwaitingAnswer = 0;
  std::uint8_t AckPending = 0;  // set by the answer decoder with AckText
  ShortStr AckText;
  std::uint8_t ActiveStation = 0;  // station of the frame on the line
  std::uint8_t ActiveKind = 0;
  std::uint8_t FromWriteQueue = 0;
  std::uint8_t FromReadQueue = 0;
  std::uint16_t PollStation = 1;
  std::uint16_t PollKind = 0;
  std::uint16_t PollItem = 1;
  // Selects the second kind table of the sample read-out (136/140/144).
  std::uint8_t SampleKindSwitch = 0;

  // The event-list line on its way from the communication thread to the
  // status window.
  ShortStr PendingEventText;

  // Statistics time stamps (days since 1899-12-30, as date-time values);
  // StartTime, the third, is the instance's start.
  std::array<double, 5> StatisticsTimes{};

  // Cycle statistics.
  double CycleSumMs = 0;
  double CycleCount = 0;
  double LastCycleStart = 0;  // date-time value
  double CycleMs = 0;
  double MaxCycleMs = 0;

  // Timers and counters.
  Real6 FullSleepTimer;  // seconds the whole line has been asleep
  Real6 LineSilence;  // seconds since the last accepted answer
  Real6 AnswerTimer;  // seconds since the current request was chosen
  Real6 AcceptedCount;
  Real6 ReceivedCount;
  Real6 SentCount;
  Real6 ErrorCount;
  std::int32_t LastTimeOfDay = 0;  // hundredths of a second
  Array1<Real6, kPhaseTimerCount> PhaseTimers;

  // Milliseconds of the time of day at the last timer step, finer than
  // LastTimeOfDay; -1 until the first step (it then starts from that).
  std::int32_t LastTimeOfDayMs = -1;
  // The clock's steady reading at the last timer step: the timers advance
  // by it, on the same clock as the machine's times.
  std::int64_t LastSteadyMs = -1;

  Real6& Timer(PhaseTimer t) { return PhaseTimers[static_cast<std::size_t>(t)]; }
  const Real6& Timer(PhaseTimer t) const { return PhaseTimers[static_cast<std::size_t>(t)]; }
};

}  // namespace qz
