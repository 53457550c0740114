// The transaction machine on an in-memory line with a hand-moved clock:
// stepped one step at a time, or run cycle by cycle as the thread runs it,
// the clock jumping straight to the time the machine asked for.

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "diag/cp1250.h"
#include "engine/cycle.h"
#include "host/answer_handling.h"
#include "host/driver_state.h"
#include "protocol/text_format.h"
#include "support/fake_clock.h"
#include "support/memory_line.h"

namespace qz {
namespace {

using test::FakeClock;
using test::MemoryLine;

constexpr char kPrefix[] = "\x10\x02";

// A station's answer as it arrives on the line: prefix, address, length,
// body, check byte.
std::string AnswerFrame(std::uint8_t address, const std::string& body) {
  std::string msg;
  msg += static_cast<char>(address);
  msg += static_cast<char>(body.size() + 1);
  msg += body;
  std::uint8_t check = 0;
  for (char c : msg) check = static_cast<std::uint8_t>(check ^ static_cast<std::uint8_t>(c));
  return std::string(kPrefix) + msg + static_cast<char>(check);
}

class Engine : public ::testing::Test {
 protected:
  void SetUp() override {
    line.HoldsOutput = true;
    InitDriverState(*state);
    state->Config.Prefix = kPrefix;
    state->Config.MasterAddress = 1;
    state->Config.AnswerTime = 1.0;
    state->Config.SilenceWait = 0;
    state->Config.RtsTimeOn = 0;
    state->Config.RtsTimeOff = 0;
    state->Config.SleepCount = 10;
    state->Config.SleepTime = 600.0;
    state->Config.StationCount = 3;
    for (int n = 1; n <= 3; ++n) {
      StationRecord& st = state->Config.Station(n);
      st.Address = static_cast<std::uint8_t>(10 + n);
      st.Retranslation = st.Address;
      st.NumBinarIn = 8;
      st.NumBinarOut = 8;
      st.NumAnalogIn = 2;
      st.NumCounterIn = 8;
      st.NumMemoryIn = 3;
      st.NumMemoryOut = 2;
      st.Name = "ST" + std::to_string(n);
    }
    state->Engine.LastTimeOfDay = TimeOfDayCs(clock);
    state->Engine.LastCycleStart = DateTimeValue(clock.Now());
  }

  std::int64_t Now() const { return clock.SteadyMs(); }

  // One cycle of the thread now (woken by the line or the host).
  void Run() { next = cycle.Run(line.Open); }
  // One cycle after ms have passed.
  void RunAfter(std::int64_t ms) {
    clock.AdvanceMs(ms);
    Run();
  }
  // The clock jumps to the time the last cycle asked for; then a cycle.
  void Jump() {
    ASSERT_TRUE(next.At.has_value()) << "the machine asked for no time";
    if (*next.At > Now()) clock.AdvanceMs(*next.At - Now());
    Run();
  }
  // Jumps from wake to wake (the statistics second may come first) until
  // the machine has handled a time-out: it then purges the line.
  void JumpToTimeout() {
    const int purges = line.PurgeTxCount();
    for (int i = 0; i < 5 && line.PurgeTxCount() == purges; ++i) Jump();
    ASSERT_GT(line.PurgeTxCount(), purges) << "no time-out";
  }
  // The output drains and wakes the thread.
  void Drained() {
    line.Drain();
    Run();
  }
  // A single step of the machine now, with the timers advanced to it.
  void Step() {
    cycle.AdvanceTimers();
    next = machine.Step(Now());
  }

  bool Resting() const { return e.ThreadPhase == Phase::Idle || (e.ThreadPhase == Phase::AwaitAnswer && !e.AwaitingAnswer); }
  bool Awaiting() const { return e.ThreadPhase == Phase::AwaitAnswer && e.AwaitingAnswer; }

  // Runs the thread as the line and the clock would wake it, the output
  // draining at once, until the machine has nothing to do (at most n wakes).
  void RunToIdle(int n = 20) {
    for (int i = 0; i < n && !Resting(); ++i) Wake();
  }
  // The same until the machine waits for an answer.
  void RunToAnswerWait(int n = 20) {
    for (int i = 0; i < n && !Awaiting(); ++i) Wake();
    ASSERT_TRUE(Awaiting());
  }
  void Wake() {
    if (next.WantDrain && line.TxWaiting() > 0) Drained();
    else if (next.At) Jump();
    else Run();
  }

  Request Write(std::uint8_t station, std::uint32_t kind = 4, std::uint16_t item = 1) {
    Request r;
    r.Station = station;
    r.Kind = static_cast<RequestKind>(kind);
    r.Item = item;
    return r;
  }

  bool EventSeen(const std::string& utf8) const {
    return std::any_of(events.begin(), events.end(),
                       [&](const std::string& line_) { return Cp1250ToUtf8(line_) == utf8; });
  }

  std::unique_ptr<DriverState> state = std::make_unique<DriverState>();
  MemoryLine line;
  FakeClock clock{LocalDateTime{2026, 12, 10, 12, 0, 0, 0}};
  std::vector<std::string> events;
  std::vector<int> decoded;
  std::vector<std::string> logged;  // "label : text"
  EngineIo io{line, clock, [this](std::string_view t) { events.emplace_back(t); }, {},
              [this](std::string_view label, std::string_view text) {
                logged.push_back(std::string(label) + " : " + std::string(text));
              }};
  StepResult next;
  // Every received entry as the decoder got it; with decodeForReal the
  // answer decoder runs on it as in the driver.
  std::vector<ReceivedEntry> entries;
  bool decodeForReal = false;
  CommunicationCycle cycle{EngineRecordsOf(*state), io,
                           [this](const ReceivedEntry& entry) {
                             decoded.push_back(static_cast<int>(entry.Answer.size()));
                             entries.push_back(entry);
                             if (!decodeForReal) return 1;
                             return DecodeAnswer(*state, entry.Answer.view(), entry.SentFrame.view(), entry.Values);
                           },
                           {}};
  TransactionMachine& machine = cycle.Machine();
  EngineState& e = state->Engine;
};

TEST_F(Engine, WithoutRtsTimesTheFrameLeavesInTheIdleStep) {
  Step();
  EXPECT_EQ(e.ThreadPhase, Phase::Transmit);
  EXPECT_FALSE(line.Written().empty());
  EXPECT_TRUE(line.RtsWrites == 0) << "RTS is not touched before this transmission";
  EXPECT_EQ(e.SentCount.value(), 1.0);
  EXPECT_EQ(e.LastSent, line.Written());
  EXPECT_TRUE(next.WantDrain) << "woken when the output has drained";
  Step();
  EXPECT_EQ(e.ThreadPhase, Phase::Transmit) << "bytes still wait in the output buffer";
  line.Drain();
  Step();
  EXPECT_EQ(e.ThreadPhase, Phase::RtsLag);
  EXPECT_TRUE(line.Rts);
  EXPECT_TRUE(next.RunsAt(Now())) << "no lag time: the next step at once";
  Step();
  EXPECT_EQ(e.ThreadPhase, Phase::AwaitAnswer);
  EXPECT_FALSE(line.Rts);
  EXPECT_EQ(next.WantBytes, 1) << "the first byte of the prefix";
}

TEST_F(Engine, OneWakeRunsTheStepsThatCanFollowAtOnce) {
  Run();
  EXPECT_EQ(e.ThreadPhase, Phase::Transmit);
  Drained();
  EXPECT_EQ(e.ThreadPhase, Phase::AwaitAnswer) << "transmission end, RTS lag of 0 and the answer wait in one wake";
  EXPECT_FALSE(line.Rts);
  EXPECT_EQ(e.CycleCount, 2) << "the cycle figures count wake-ups";
}

// The machine asks for the exact time each of its waits ends; a wake a
// millisecond early leaves it where it is.
struct TimingCase {
  const char* name;
  std::uint16_t rtsOn, rtsOff, silence;
  double answer;
  Phase phase;        // the wait measured
  std::int64_t ms;    // how long the machine asks to wait in it
  Phase after;        // the phase it is in once the wait is over
};

class Timing : public Engine, public ::testing::WithParamInterface<TimingCase> {};

TEST_P(Timing, TheWaitEndsToTheMillisecond) {
  const TimingCase& c = GetParam();
  state->Config.SelfReading = 0;
  state->Config.RtsTimeOn = c.rtsOn;
  state->Config.RtsTimeOff = c.rtsOff;
  state->Config.SilenceWait = c.silence;
  state->Config.AnswerTime = c.answer;
  e.WriteQueue.Insert(Write(1, 4, 1));
  Run();
  for (int i = 0; i < 10 && e.ThreadPhase != c.phase; ++i) {
    if (Awaiting() && c.phase == Phase::Silence) line.Receive(AnswerFrame(11, "b\x01\x00"));
    Wake();
  }
  ASSERT_EQ(e.ThreadPhase, c.phase);
  ASSERT_TRUE(next.At.has_value());
  EXPECT_EQ(*next.At - Now(), c.ms);
  RunAfter(c.ms - 1);
  EXPECT_EQ(e.ThreadPhase, c.phase) << "a millisecond early";
  Jump();
  EXPECT_EQ(e.ThreadPhase, c.after);
  EXPECT_EQ(state->Config.Station(1).TimeoutCount, c.phase == Phase::AwaitAnswer ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(
    Waits, Timing,
    ::testing::Values(TimingCase{"RtsLead", 20, 0, 0, 1.0, Phase::RtsLead, 20, Phase::Transmit},
                      TimingCase{"RtsLag", 0, 7, 0, 1.0, Phase::RtsLag, 7, Phase::AwaitAnswer},
                      // Left when more than SilenceWait has passed; then
                      // nothing is left to send.
                      TimingCase{"Silence", 0, 0, 2, 1.0, Phase::Silence, 3, Phase::AwaitAnswer},
                      // Counted from the choice; left when more than
                      // AnswerTime has passed, and the write goes out again.
                      TimingCase{"Answer", 0, 0, 0, 0.25, Phase::AwaitAnswer, 251, Phase::Transmit}),
    [](const auto& p) { return std::string(p.param.name); });

TEST_F(Engine, RtsLeadTimeHoldsTheFrameBack) {
  state->Config.RtsTimeOn = 20;
  Run();
  EXPECT_EQ(e.ThreadPhase, Phase::RtsLead);
  EXPECT_TRUE(line.Rts);
  EXPECT_TRUE(line.Written().empty());
  RunAfter(10);
  EXPECT_TRUE(line.Written().empty()) << "10 ms counted";
  Jump();
  EXPECT_EQ(e.ThreadPhase, Phase::Transmit);
  EXPECT_FALSE(line.Written().empty());
  EXPECT_NE(std::find(logged.begin(), logged.end(), "RTS STILL ON, BEGIN : " + HexText(line.Written())), logged.end());
}

TEST_F(Engine, AnAnswerIsQueuedWithTheFrameThatWasSentAndDecodedInTheSameWake) {
  Run();
  const std::string sent = line.Written();
  Drained();
  ASSERT_EQ(e.ThreadPhase, Phase::AwaitAnswer);
  line.Receive(AnswerFrame(11, "B\x01"));
  Run();
  EXPECT_EQ(e.ThreadPhase, Phase::Silence);
  EXPECT_EQ(e.AcceptedCount.value(), 1.0);
  EXPECT_EQ(e.ReceivedCount.value(), 1.0);
  EXPECT_EQ(decoded.size(), 1u) << "decoded in the wake that accepted it";
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].SentFrame.str(), sent);
  EXPECT_TRUE(e.LastSent.empty());
}

// Whatever the port already holds is taken in one step: noise before the
// prefix, the prefix, the header and the rest.
TEST_F(Engine, TheReceiveStepTakesEverythingAlreadyBuffered) {
  Run();
  Drained();
  ASSERT_TRUE(Awaiting());
  line.Receive(std::string(40, '\x55') + AnswerFrame(11, "B\x01"));
  Step();
  EXPECT_EQ(e.ThreadPhase, Phase::Silence);
  EXPECT_EQ(line.RxWaiting(), 0);
}

// What the receive step waits for while a frame comes in parts.
struct PartCase {
  const char* name;
  std::size_t bytes;       // of the answer frame already received
  std::int32_t wantBytes;  // bytes that must wait for the next step to move on
};

class AnswerInParts : public Engine, public ::testing::WithParamInterface<PartCase> {};

TEST_P(AnswerInParts, TheMachineWaitsForTheBytesThatMoveItOn) {
  const PartCase& c = GetParam();
  Run();
  Drained();
  const std::string frame = AnswerFrame(11, "B\x01\x05");  // prefix, address, length 4, body, check
  line.Receive(frame.substr(0, c.bytes));
  Run();
  EXPECT_TRUE(Awaiting());
  EXPECT_EQ(next.WantBytes, c.wantBytes);
  line.Receive(frame.substr(c.bytes));
  Run();
  EXPECT_EQ(e.ThreadPhase, Phase::Silence);
}

INSTANTIATE_TEST_SUITE_P(Parts, AnswerInParts,
                         ::testing::Values(PartCase{"Nothing", 0, 1}, PartCase{"HalfThePrefix", 1, 1},
                                           PartCase{"ThePrefix", 2, 2}, PartCase{"PrefixAndAddress", 3, 2},
                                           PartCase{"TheHeader", 4, 4}, PartCase{"AllButTheCheck", 7, 4}),
                         [](const auto& p) { return std::string(p.param.name); });

TEST_F(Engine, AcknowledgementGoesOutAfterTheSilence) {
  state->Config.SilenceWait = 30;
  e.ThreadPhase = Phase::Silence;
  e.Timer(PhaseTimer::Silence) = 0.0;
  e.AckPending = 1;
  e.AckText = "ACK";
  Step();
  EXPECT_EQ(*next.At - Now(), 31);
  clock.AdvanceMs(30);
  Step();
  EXPECT_TRUE(line.Written().empty());
  clock.AdvanceMs(1);
  Step();
  EXPECT_EQ(line.Written(), "ACK");
  EXPECT_EQ(e.ThreadPhase, Phase::Acknowledge);
  EXPECT_EQ(e.AckPending, 0);
  EXPECT_TRUE(next.RunsAt(Now()));
  Step();
  EXPECT_EQ(e.ThreadPhase, Phase::Idle);
}

TEST_F(Engine, TheMachineLogsThroughItsSink) {
  Run();
  Drained();
  for (const char* line_ : {"prstynek : NOT trans-queue -> lets read data", "prstynek : transmit now",
                            "Transmit Message : ", "TRANSMIT : END", "RTS OFF : END"}) {
    EXPECT_NE(std::find(logged.begin(), logged.end(), line_), logged.end()) << line_;
  }
}

TEST_F(Engine, PollRingVisitsEveryKindThenEachMemoryInput) {
  state->Config.StationCount = 2;
  std::vector<std::pair<int, int>> ring;
  for (int i = 0; i < 9; ++i) {
    ring.emplace_back(e.PollStation, static_cast<int>(PollRingKind(e.PollKind)) * 100 + e.PollItem);
    machine.AdvancePoll();
  }
  const std::vector<std::pair<int, int>> expected = {{1, 1},   {1, 1},   {1, 101}, {1, 201}, {1, 301},
                                                     {1, 601}, {1, 602}, {1, 603}, {2, 1}};
  EXPECT_EQ(ring, expected) << "initial kind 0 also reads binary inputs, then 1..5 per station";
}

TEST_F(Engine, MemoryInputTableIsReadAtOnce) {
  state->Config.Station(1).MemoryInArray = 1;
  e.PollStation = 1;
  e.PollKind = 5;
  e.PollItem = 1;
  machine.AdvancePoll();
  EXPECT_EQ(e.PollStation, 2);
  EXPECT_EQ(e.PollKind, 1);
}

// Ring positions that give no frame (a station without counters or memory
// inputs) are passed in the same wake, not one wake each.
TEST_F(Engine, RingPositionsWithoutAFrameArePassedAtOnce) {
  StationRecord& st = state->Config.Station(1);
  st.NumCounterIn = 0;
  st.NumMemoryIn = 0;
  e.PollStation = 1;
  e.PollKind = 3;  // counters
  e.PollItem = 1;
  Run();
  EXPECT_EQ(e.ThreadPhase, Phase::Transmit);
  EXPECT_EQ(e.SentCount.value(), 1.0);
  EXPECT_EQ(e.ActiveStation, 2) << "station 1's empty positions passed";
  EXPECT_EQ(e.CycleCount, 1);
}

TEST_F(Engine, SleepingStationsAreRotatedBehindAnAwakeOne) {
  state->Config.Station(2).SleepTimer = 100.0;
  e.WriteQueue.Insert(Write(2, 4, 1));
  e.WriteQueue.Insert(Write(2, 4, 2));
  e.WriteQueue.Insert(Write(3, 4, 1));
  Run();
  EXPECT_EQ(e.FromWriteQueue, 1);
  EXPECT_EQ(e.ActiveStation, 3);
  EXPECT_EQ(state->Config.Station(3).Flags.in_now_comm, 1);
  EXPECT_EQ(e.WriteQueue.Head()->Station, 3);
  EXPECT_EQ(state->Config.Station(3).RequestCount, 1);
}

TEST_F(Engine, QueuesOfSleepingStationsComeBackInOrderAndThePollRingIsTried) {
  state->Config.Station(2).SleepTimer = 100.0;
  e.WriteQueue.Insert(Write(2, 4, 1));
  e.WriteQueue.Insert(Write(2, 4, 2));
  Run();
  std::vector<int> items;
  for (const auto& r : e.WriteQueue.Items()) items.push_back(r.Item);
  EXPECT_EQ(items, (std::vector<int>{1, 2}));
  EXPECT_EQ(e.FromWriteQueue, 0);
  EXPECT_EQ(e.ActiveStation, 1) << "the poll ring sent to station 1";
}

TEST_F(Engine, AllStationsAsleepStartTheFullSleep) {
  for (int n = 1; n <= 3; ++n) state->Config.Station(n).SleepTimer = 1000.0;
  Run();
  EXPECT_EQ(state->Engine.FullSleepTimer.value(), 600.0);
  EXPECT_TRUE(line.Written().empty());
  e.WriteQueue.Insert(Write(1));
  state->Config.Station(1).SleepTimer = 0.0;
  Run();
  Run();
  EXPECT_TRUE(line.Written().empty()) << "nothing at all is sent in full sleep";
  RunAfter(600 * 1000 - 1);
  EXPECT_TRUE(line.Written().empty());
  Jump();
  EXPECT_TRUE(EventSeen("Konec úplného módu \"sleep\""));
  EXPECT_FALSE(line.Written().empty()) << "sent in the wake that ended the full sleep";
}

TEST_F(Engine, TenthTimeoutPutsTheStationToSleep) {
  state->Config.SelfReading = 0;
  e.WriteQueue.Insert(Write(2));
  Run();
  for (int t = 1; t <= 10; ++t) {
    ASSERT_EQ(e.ActiveStation, 2);
    Drained();
    ASSERT_TRUE(Awaiting());
    JumpToTimeout();  // no answer within AnswerTime
    EXPECT_EQ(state->Config.Station(2).TimeoutRun, t);
    EXPECT_EQ(state->Config.Station(2).SleepTimer.value() > 0, t == 10);
  }
  EXPECT_EQ(state->Config.Station(2).TimeoutCount, 10);
  EXPECT_EQ(e.ErrorCount.value(), 10.0);
  EXPECT_TRUE(EventSeen("ST2 - start módu \"sleep\""));
  const auto timeoutLine = std::find_if(events.begin(), events.end(), [](const std::string& s) {
    return Cp1250ToUtf8(s).rfind("ST2 - překročení času (", 0) == 0;
  });
  EXPECT_NE(timeoutLine, events.end());
  EXPECT_EQ(e.WriteQueue.Count(), 1u) << "the write for a station without a phone is never dropped";
}

TEST_F(Engine, UnansweredWriteIsRotatedBehindOthers) {
  state->Config.SelfReading = 0;
  e.WriteQueue.Insert(Write(1, 4, 1));
  e.WriteQueue.Insert(Write(2, 4, 1));
  Run();
  Drained();
  JumpToTimeout();
  EXPECT_EQ(e.WriteQueue.Head()->Station, 2);
  EXPECT_EQ(e.ActiveStation, 2) << "and sent in the same wake";
  EXPECT_EQ(e.WriteQueue.Count(), 2u);
}

struct PhoneCase {
  const char* label;
  std::uint8_t stay;
  std::size_t left;
  std::uint8_t lastErr;
};

class PhoneTimeout : public Engine, public ::testing::WithParamInterface<PhoneCase> {};

TEST_P(PhoneTimeout, FirstTimeoutOfAPhoneStation) {
  const PhoneCase& c = GetParam();
  state->Config.SelfReading = 0;
  state->Config.NumMorvenError = 1;
  state->Config.StayInQueueOnTimeout = c.stay;
  state->Config.Station(2).Phone = "123";
  e.WriteQueue.Insert(Write(2));
  Run();
  Drained();
  JumpToTimeout();
  EXPECT_EQ(e.WriteQueue.Count(), c.left);
  EXPECT_EQ(state->Config.Station(2).Flags.in_last_com_err, c.lastErr);
}

INSTANTIATE_TEST_SUITE_P(Phone, PhoneTimeout,
                         ::testing::Values(PhoneCase{"removed", 0, 0, 1}, PhoneCase{"stays", 1, 1, 0}),
                         [](const auto& p) { return std::string(p.param.label); });

TEST_F(Engine, TimeoutBeforeTheAnswerPhaseKeepsTheRequestAndCountsNoError) {
  state->Config.SelfReading = 0;
  e.WriteQueue.Insert(Write(2));
  Step();
  clock.AdvanceMs(*next.At - Now());  // still transmitting: the output never drains
  Step();
  EXPECT_EQ(e.ThreadPhase, Phase::Timeout);
  Step();
  EXPECT_EQ(e.ThreadPhase, Phase::Idle);
  EXPECT_EQ(e.ErrorCount.value(), 0.0);
  EXPECT_EQ(e.WriteQueue.Count(), 1u);
  EXPECT_GE(line.PurgeRxCount(), 1);
  EXPECT_GE(line.PurgeTxCount(), 1);
}

TEST_F(Engine, ThreeQqReadsAreMergedBeforeTheChoice) {
  for (std::uint8_t item = 1; item <= 3; ++item) {
    Request r;
    r.Station = 2;
    r.Kind = RequestKind::QqRead;
    r.Data = std::string{'\xBA', '\x01', static_cast<char>(item)};
    e.ReadQueue.Insert(r);
  }
  Run();
  EXPECT_TRUE(EventSeen("Fronta požadavků pro VL2 zkomprimována ( 3->1 )"));
  EXPECT_TRUE(EventSeen("ST2 - QQ/čtení (3x)"));
  EXPECT_EQ(e.FromReadQueue, 1);
}

TEST_F(Engine, QqWriteIsAnnouncedWithItsBytes) {
  Request r;
  r.Station = 1;
  r.Kind = RequestKind::QqWrite;
  r.Data = std::string{'\xBA', '\x01', '\x05', '\x0A', 0, 0, 0};
  e.WriteQueue.Insert(r);
  Run();
  EXPECT_TRUE(EventSeen("ST1 - QQ/zápis (BA 01 05 0A 00 00 00 )"));
}

TEST_F(Engine, UnknownPhaseRestartsIdle) {
  e.ThreadPhase = static_cast<Phase>(42);
  Step();
  EXPECT_EQ(e.ThreadPhase, Phase::Idle);
}

TEST_F(Engine, ClosedPortMakesNoStepButStillDecodes) {
  line.Open = false;
  e.Received.Add("answer", "sent");
  Run();
  EXPECT_TRUE(line.Written().empty());
  EXPECT_EQ(decoded, std::vector<int>{6});
  EXPECT_EQ(e.Received.Count(), 0u);
}

// --- Timers and supervision ---------------------------------------------------

TEST_F(Engine, TimersAdvanceByTheElapsedMilliseconds) {
  line.Open = false;
  RunAfter(7);
  EXPECT_DOUBLE_EQ(e.Timer(PhaseTimer::Silence).value(), 7.0);
  EXPECT_NEAR(e.AnswerTimer.value(), 0.007, 1e-9);
  RunAfter(243);
  EXPECT_DOUBLE_EQ(e.AnswerTimer.value(), 0.25);
  EXPECT_DOUBLE_EQ(e.LineSilence.value(), 0.25);
  EXPECT_DOUBLE_EQ(e.Timer(PhaseTimer::RtsOn).value(), 250.0);
  EXPECT_DOUBLE_EQ(state->Config.Station(3).SilenceSeconds.value(), 0.25);
  EXPECT_DOUBLE_EQ(state->Config.Station(4).SilenceSeconds.value(), 0.0) << "only loaded stations";
}

TEST_F(Engine, MidnightCountsNoTimeAndRestartsTheAverage) {
  line.Open = false;
  clock.Set({2026, 12, 10, 23, 59, 59, 900});
  e.LastTimeOfDay = TimeOfDayCs(clock);
  RunAfter(10);
  EXPECT_GT(e.CycleCount, 0);
  const double silence = e.LineSilence.value();
  RunAfter(200);  // into the next day
  EXPECT_EQ(e.LineSilence.value(), silence);
  EXPECT_EQ(e.CycleCount, 0);
  RunAfter(10);
  EXPECT_NEAR(e.LineSilence.value(), silence + 0.01, 1e-9);
}

TEST_F(Engine, StatisticsAreRefreshedOnceASecond) {
  int refreshed = 0;
  CommunicationCycle counting{EngineRecordsOf(*state), io, {}, [&] { ++refreshed; }};
  line.Open = false;
  next = counting.Run(false);
  ASSERT_TRUE(next.At.has_value());
  EXPECT_EQ(*next.At - Now(), 1000) << "the thread wakes for the next statistics second";
  clock.AdvanceMs(999);
  next = counting.Run(false);
  EXPECT_EQ(refreshed, 0);
  EXPECT_EQ(*next.At - Now(), 1);
  clock.AdvanceMs(1);
  next = counting.Run(false);
  EXPECT_EQ(refreshed, 1);
  EXPECT_EQ(e.Timer(PhaseTimer::Stats).value(), 0.0);
}

// IDLE_TIME bounds the thread's wait while the machine has nothing to do or
// waits on the line, not its own times; 0 sets no bound, and a core is not
// kept busy: the statistics second is the next wake.
struct IdleCase {
  const char* name;
  std::uint8_t selfReading;
  std::int32_t idleMs;
  std::int64_t waitMs;
};

class IdleBound : public Engine, public ::testing::WithParamInterface<IdleCase> {};

TEST_P(IdleBound, TheWaitIsBoundedOnlyWithNothingToDo) {
  const IdleCase& c = GetParam();
  state->Config.SelfReading = c.selfReading;
  state->Config.AnswerTime = 0.5;
  next = cycle.Run(true, c.idleMs);
  ASSERT_TRUE(next.At.has_value());
  EXPECT_EQ(*next.At - Now(), c.waitMs);
}

INSTANTIATE_TEST_SUITE_P(Idle, IdleBound,
                         ::testing::Values(IdleCase{"NothingToDo", 0, 10, 10},
                                           IdleCase{"NothingToDoAndNoBound", 0, 0, 1000},
                                           IdleCase{"AFrameOnTheLine", 1, 10, 10},
                                           IdleCase{"AFrameOnTheLineNoBound", 1, 0, 501},
                                           IdleCase{"AFrameOnTheLineBoundBeyondItsTime", 1, 800, 501}),
                         [](const auto& p) { return std::string(p.param.name); });

// Every station asleep: the thread sleeps until the statistics second,
// whatever IDLE_TIME says.
TEST_F(Engine, FullSleepWakesOnlyForTheStatistics) {
  for (int n = 1; n <= 3; ++n) state->Config.Station(n).SleepTimer = 1000.0;
  next = cycle.Run(true, 10);
  ASSERT_GT(state->Engine.FullSleepTimer.value(), 0);
  EXPECT_EQ(*next.At - Now(), 1000);
}

TEST_F(Engine, SleepEndIsAnnouncedOnce) {
  line.Open = false;
  StationRecord& st = state->Config.Station(2);
  st.SleepTimer = 1.5;
  st.TimeoutRun = 10;
  Run();
  Jump();  // the statistics second
  EXPECT_GT(st.SleepTimer.value(), 0);
  Jump();  // the sleep's end
  EXPECT_EQ(st.SleepTimer.value(), 0);
  Jump();
  EXPECT_EQ(st.TimeoutRun, 0);
  EXPECT_EQ(std::count_if(events.begin(), events.end(),
                          [](const std::string& s) { return Cp1250ToUtf8(s) == "ST2 - konec módu \"sleep\""; }),
            1);
}

TEST_F(Engine, FinishedHistoryReadoutWritesTheNewTopAsUserPosition) {
  line.Open = false;
  HistoryQuery& q = state->History.Query;
  q.HistoryState = HistoryPhase::ReadingRecords;
  q.HistoryStation = 2;
  q.HistoryUser = 1;
  q.HistoryUserPos = 100;
  q.HistoryTop = 0x01020304;
  Request history;
  history.Station = 2;
  history.Kind = RequestKind::HistoryFirst;
  e.ReadQueue.Insert(history);
  Run();
  EXPECT_EQ(q.HistoryState, HistoryPhase::ReadingRecords) << "a record request still waits";
  e.ReadQueue.Clear();
  Run();
  EXPECT_EQ(q.HistoryState, HistoryPhase::WritingUserPos);
  ASSERT_EQ(e.WriteQueue.Count(), 1u);
  const Request& w = *e.WriteQueue.Head();
  EXPECT_EQ(w.Station, 2);
  EXPECT_EQ(w.Kind, RequestKind::QqWrite);
  EXPECT_EQ(w.Data, std::string("\xBA\x01\x05\x04\x03\x02\x01", 7));
  EXPECT_TRUE(EventSeen("HDB: čtení dokončeno -> zápis nové \"UserPos\" (16909060)"));
  Run();
  EXPECT_EQ(e.WriteQueue.Count(), 1u) << "announced and queued once";
}

TEST_F(Engine, HistoryReadoutTimesOut) {
  line.Open = false;
  HistoryQuery& q = state->History.Query;
  q.HistoryState = HistoryPhase::ReadingRecords;
  Request history;
  history.Station = 1;
  history.Kind = static_cast<RequestKind>(241);
  e.ReadQueue.Insert(history);
  e.WriteQueue.Insert(Write(1));
  e.ThreadPhase = Phase::AwaitAnswer;
  e.LastSent = "x";
  clock.AdvanceMs(601 * 1000);
  cycle.AdvanceTimers();
  EXPECT_EQ(q.HistoryState, HistoryPhase::TimedOut);
  EXPECT_TRUE(EventSeen("HDB: přerušeno čtení - timeout"));
  EXPECT_TRUE(e.ReadQueue.Empty());
  EXPECT_TRUE(e.WriteQueue.Empty());
  EXPECT_EQ(e.ThreadPhase, Phase::Idle);
  EXPECT_TRUE(e.LastSent.empty());
}

TEST(DateTime, ValueCountsDaysFrom1899) {
  EXPECT_DOUBLE_EQ(DateTimeValue({1899, 12, 30, 0, 0, 0, 0}), 0.0);
  EXPECT_DOUBLE_EQ(DateTimeValue({1970, 1, 1, 12, 0, 0, 0}), 25569.5);
}

// --- Pairing of answers with their requests ------------------------------------

// The machine waits for station 1 (address 11) to answer a binary-output
// write. Frames that are not that answer are decoded but leave the exchange
// open; the right answer then closes it.
struct StrayCase {
  const char* name;
  std::string frame;
  bool beforeTheRequest;  // already in the line when the request went out
  AnswerValues values;    // how the decoder is to read it
  friend void PrintTo(const StrayCase& c, std::ostream* os) { *os << c.name; }
};

class StrayFrame : public Engine, public ::testing::WithParamInterface<StrayCase> {
 protected:
  // Steps until the request is on the line and the machine waits.
  std::string SendWrite() {
    state->Config.SelfReading = 0;
    e.WriteQueue.Insert(Write(1, 4, 1));
    Run();
    const std::string sent = line.Written();
    Drained();
    return sent;
  }
};

TEST_P(StrayFrame, IsDecodedButDoesNotEndTheExchange) {
  const StrayCase& c = GetParam();
  if (c.beforeTheRequest) line.Receive(c.frame);
  const std::string sent = SendWrite();
  if (!c.beforeTheRequest) line.Receive(c.frame);
  Run();
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_TRUE(entries[0].SentFrame.empty()) << "read against no request";
  EXPECT_EQ(entries[0].Values, c.values);
  EXPECT_EQ(e.ThreadPhase, Phase::AwaitAnswer) << "still waiting";
  EXPECT_EQ(e.WriteQueue.Count(), 1u) << "the write is not done";
  EXPECT_EQ(e.LastSent.str(), sent);

  line.Receive(AnswerFrame(11, "b\x01\x00"));
  Run();
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[1].SentFrame.str(), sent);
  EXPECT_EQ(entries[1].Values, AnswerValues::Store);
  EXPECT_EQ(e.ThreadPhase, Phase::Silence);
  EXPECT_TRUE(e.WriteQueue.Empty());
  EXPECT_EQ(e.ErrorCount.value(), 0.0);
}

INSTANTIATE_TEST_SUITE_P(
    Frames, StrayFrame,
    ::testing::Values(StrayCase{"AnotherStationsAnswer", AnswerFrame(12, "B\x01\x05"), false, AnswerValues::Store},
                      StrayCase{"AnotherStationsReport", AnswerFrame(12, "H"), false, AnswerValues::Store},
                      StrayCase{"UnknownStation", AnswerFrame(99, "b\x01\x00"), false, AnswerValues::Store},
                      StrayCase{"ReportOfTheStationAsked", AnswerFrame(11, "H"), false, AnswerValues::Store},
                      StrayCase{"LateAnswerToAnotherKind", AnswerFrame(11, "B\x01\x05"), false, AnswerValues::Skip},
                      StrayCase{"RightCodesButInTheLineBeforeTheRequest", AnswerFrame(11, "b\x01\x00"), true,
                                AnswerValues::Skip},
                      StrayCase{"ReportInTheLineBeforeTheRequest", AnswerFrame(12, "H"), true,
                                AnswerValues::Store}),
    [](const auto& p) { return std::string(p.param.name); });

// A report that comes while the machine waits for another station is
// acknowledged at once, and the exchange goes on to its own answer.
TEST_F(Engine, ReportWhileWaitingIsAcknowledgedAndTheExchangeGoesOn) {
  decodeForReal = true;
  state->Config.SelfReading = 0;
  e.WriteQueue.Insert(Write(1, 4, 1));
  Run();
  Drained();
  line.Take();
  const std::string report = AnswerFrame(12, "H");
  line.Receive(report);
  Run();
  EXPECT_EQ(line.Take(), report) << "a short-form report is acknowledged by its echo";
  EXPECT_EQ(state->Config.Station(2).Flags.in_active_message, 1);
  EXPECT_EQ(e.ThreadPhase, Phase::AwaitAnswer);
  line.Receive(AnswerFrame(11, "b\x01\x00"));
  RunToIdle();
  EXPECT_TRUE(e.WriteQueue.Empty());
  EXPECT_TRUE(line.Written().empty()) << "the answer asks for no acknowledgement";
}

// A station whose answers come late: an answer after its time-out, and an
// old answer still in the line when the next request goes out, never close
// a later exchange nor take the binary inputs back to older values.
TEST_F(Engine, LateAnswersLeaveTheNextExchangesPairedAndTheValuesNew) {
  decodeForReal = true;
  state->Config.SelfReading = 0;
  StationRecord& st = state->Config.Station(1);
  Request readBI = Write(1, 0, 1);
  Request readAI = Write(1, 1, 1);
  st.DefAnalogInAddr = 0x0100;
  auto waitForRequest = [&] { RunToAnswerWait(); };
  // The first read of the inputs times out; the second is answered with the
  // inputs as they are now (input 1 on).
  e.ReadQueue.Insert(readBI);
  waitForRequest();
  JumpToTimeout();  // no answer
  waitForRequest();
  line.Receive(AnswerFrame(11, "B\x01\x01"));
  RunToIdle();
  ASSERT_TRUE(e.ReadQueue.Empty());
  ASSERT_EQ(st.BinarInValue[1], 1);
  // The late answer to the first read (input 1 still off) comes while the
  // analog inputs are read.
  e.ReadQueue.Insert(readAI);
  waitForRequest();
  line.Receive(AnswerFrame(11, "B\x01\x00"));
  Run();
  EXPECT_EQ(st.BinarInValue[1], 1) << "not taken back by the late answer";
  EXPECT_EQ(e.ThreadPhase, Phase::AwaitAnswer);
  EXPECT_EQ(e.ReadQueue.Count(), 1u);
  line.Receive(AnswerFrame(11, std::string("N\x00\x01\x03\x40\x00\x00", 7)));
  RunToIdle();
  EXPECT_TRUE(e.ReadQueue.Empty());
  EXPECT_EQ(st.AnalogInValue[1].value(), 1.0);
  // An old answer of the inputs is still in the line when they are read
  // again: the wait goes on for the answer to this read.
  line.Receive(AnswerFrame(11, "B\x01\x00"));
  e.ReadQueue.Insert(readBI);
  waitForRequest();
  Run();
  EXPECT_EQ(st.BinarInValue[1], 1);
  EXPECT_EQ(e.ReadQueue.Count(), 1u);
  line.Receive(AnswerFrame(11, "B\x01\x01"));
  RunToIdle();
  EXPECT_TRUE(e.ReadQueue.Empty());
  EXPECT_EQ(st.BinarInValue[1], 1);
  EXPECT_EQ(e.ErrorCount.value(), 1.0) << "only the first read went unanswered";
}

// A late answer of another station is stored when that station has not
// answered since (it is the newest word from it), and not when it has.
TEST_F(Engine, LateAnswerOfAnotherStationIsStoredOnlyWhenNothingNewerCame) {
  decodeForReal = true;
  state->Config.SelfReading = 0;
  StationRecord& st = state->Config.Station(1);
  auto waitForRequest = [&] { RunToAnswerWait(); };
  // Station 1 does not answer in time; while station 2 is asked, its late
  // answer comes: input 1 on.
  e.ReadQueue.Insert(Write(1, 0, 1));
  waitForRequest();
  clock.AdvanceMs(*machine.Due(Now()).At - Now());
  Step();  // no answer: the time-out strikes, before the next choice
  ASSERT_EQ(e.ThreadPhase, Phase::Timeout);
  e.ReadQueue.Clear();
  e.ReadQueue.Insert(Write(2, 0, 1));
  waitForRequest();
  line.Receive(AnswerFrame(11, "B\x01\x01"));
  Run();
  EXPECT_EQ(st.BinarInValue[1], 1) << "stored: nothing newer from station 1";
  EXPECT_EQ(e.ThreadPhase, Phase::AwaitAnswer) << "and station 2 is still awaited";
  line.Receive(AnswerFrame(12, "B\x01\x00"));
  RunToIdle();
  // Station 1 answers (input 1 off); then an older answer of it, one more
  // time late, comes while station 2 is asked.
  e.ReadQueue.Insert(Write(1, 0, 1));
  waitForRequest();
  line.Receive(AnswerFrame(11, "B\x01\x00"));
  RunToIdle();
  ASSERT_EQ(st.BinarInValue[1], 0);
  e.ReadQueue.Insert(Write(2, 0, 1));
  waitForRequest();
  line.Receive(AnswerFrame(11, "B\x01\x01"));
  Run();
  EXPECT_EQ(st.BinarInValue[1], 0) << "not taken back to what it said before";
  line.Receive(AnswerFrame(12, "B\x01\x00"));
  RunToIdle();
  EXPECT_TRUE(e.ReadQueue.Empty());
}

}  // namespace
}  // namespace qz
