// The transaction machine stepped cycle by cycle on an in-memory line with a
// hand-moved clock.

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "config/driver_state.h"
#include "diag/cp1250.h"
#include "engine/cycle.h"
#include "protocol/answer_decoding.h"
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
    state->Prefix = kPrefix;
    state->MasterAddress = 1;
    state->AnswerTime = 1.0;
    state->SilenceWait = 0;
    state->RtsTimeOn = 0;
    state->RtsTimeOff = 0;
    state->SleepCount = 10;
    state->SleepTime = 600.0;
    state->StationCount = 3;
    for (int n = 1; n <= 3; ++n) {
      StationRecord& st = state->Station(n);
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

  // One cycle, after ms have passed.
  void Cycle(int ms = 10) {
    clock.AdvanceMs(ms);
    cycle.Run(line.Open);
  }

  // Cycles until the machine is back in its idle phase (at most n cycles).
  void RunToIdle(int n = 50) {
    for (int i = 0; i < n && state->Engine.ThreadPhase != 0; ++i) {
      line.Drain();
      Cycle();
    }
  }

  Request Write(std::uint8_t station, std::uint32_t kind = 4, std::uint16_t item = 1) {
    Request r;
    r.Station = station;
    r.Kind = kind;
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
  EngineIo io{line, clock, [this](std::string_view t) { events.emplace_back(t); }, {}};
  // Every received entry as the decoder got it; with decodeForReal the
  // answer decoder runs on it as in the driver.
  std::vector<ReceivedEntry> entries;
  bool decodeForReal = false;
  CommunicationCycle cycle{*state, io,
                           [this](const ReceivedEntry& entry) {
                             decoded.push_back(static_cast<int>(entry.Answer.size()));
                             entries.push_back(entry);
                             if (!decodeForReal) return 1;
                             return DecodeMess(*state, entry.Answer.view(), entry.SentFrame.view(), entry.Values);
                           },
                           {}};
  TransactionMachine& machine = cycle.Machine();
  EngineState& e = state->Engine;
};

TEST_F(Engine, WithoutRtsTimesTheFrameLeavesInTheIdleStep) {
  Cycle();
  EXPECT_EQ(e.ThreadPhase, 1);
  EXPECT_FALSE(line.Written().empty());
  EXPECT_TRUE(line.RtsWrites == 0) << "RTS is not touched before this transmission";
  EXPECT_EQ(e.SentCount.value(), 1.0);
  EXPECT_EQ(e.LastSent, line.Written());
  Cycle();
  EXPECT_EQ(e.ThreadPhase, 1) << "bytes still wait in the output buffer";
  line.Drain();
  Cycle();
  EXPECT_EQ(e.ThreadPhase, 7);
  EXPECT_TRUE(line.Rts);
  Cycle();
  EXPECT_EQ(e.ThreadPhase, 2);
  EXPECT_FALSE(line.Rts);
}

TEST_F(Engine, RtsLeadTimeHoldsTheFrameBack) {
  state->RtsTimeOn = 20;
  Cycle();
  EXPECT_EQ(e.ThreadPhase, 6);
  EXPECT_TRUE(line.Rts);
  EXPECT_TRUE(line.Written().empty());
  Cycle(10);
  EXPECT_TRUE(line.Written().empty()) << "10 ms counted";
  Cycle(10);
  EXPECT_EQ(e.ThreadPhase, 1);
  EXPECT_FALSE(line.Written().empty());
}

TEST_F(Engine, AnAnswerIsQueuedWithTheFrameThatWasSentAndDecodedNextCycle) {
  Cycle();
  const std::string sent = line.Written();
  line.Drain();
  Cycle();
  Cycle();
  ASSERT_EQ(e.ThreadPhase, 2);
  line.Receive(AnswerFrame(11, "B\x01"));
  for (int i = 0; i < 5 && e.ThreadPhase == 2; ++i) Cycle();
  EXPECT_EQ(e.ThreadPhase, 3);
  EXPECT_EQ(e.AcceptedCount.value(), 1.0);
  EXPECT_EQ(e.ReceivedCount.value(), 1.0);
  EXPECT_EQ(decoded.size(), 1u) << "decoded in the cycle that accepted it";
  EXPECT_TRUE(e.LastSent.empty());
}

TEST_F(Engine, AcknowledgementGoesOutAfterTheSilence) {
  state->SilenceWait = 30;
  e.ThreadPhase = 3;
  e.Timer(PhaseTimer::Silence) = 0.0;
  e.AckPending = 1;
  e.AckText = "ACK";
  Cycle(20);
  EXPECT_TRUE(line.Written().empty());
  Cycle(20);
  EXPECT_EQ(line.Written(), "ACK");
  EXPECT_EQ(e.ThreadPhase, 5);
  EXPECT_EQ(e.AckPending, 0);
  Cycle();
  EXPECT_EQ(e.ThreadPhase, 0);
}

TEST_F(Engine, PollRingVisitsEveryKindThenEachMemoryInput) {
  state->StationCount = 2;
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
  state->Station(1).MemoryInArray = 1;
  e.PollStation = 1;
  e.PollKind = 5;
  e.PollItem = 1;
  machine.AdvancePoll();
  EXPECT_EQ(e.PollStation, 2);
  EXPECT_EQ(e.PollKind, 1);
}

TEST_F(Engine, SleepingStationsAreRotatedBehindAnAwakeOne) {
  state->Station(2).SleepTimer = 100.0;
  e.WriteQueue.Insert(Write(2, 4, 1));
  e.WriteQueue.Insert(Write(2, 4, 2));
  e.WriteQueue.Insert(Write(3, 4, 1));
  Cycle();
  EXPECT_EQ(e.FromWriteQueue, 1);
  EXPECT_EQ(e.ActiveStation, 3);
  EXPECT_EQ(state->Station(3).Flags.in_now_comm, 1);
  EXPECT_EQ(e.WriteQueue.Head()->Station, 3);
  EXPECT_EQ(state->Station(3).RequestCount, 1);
}

TEST_F(Engine, QueuesOfSleepingStationsComeBackInOrderAndThePollRingIsTried) {
  state->Station(2).SleepTimer = 100.0;
  e.WriteQueue.Insert(Write(2, 4, 1));
  e.WriteQueue.Insert(Write(2, 4, 2));
  Cycle();
  std::vector<int> items;
  for (const auto& r : e.WriteQueue.Items()) items.push_back(r.Item);
  EXPECT_EQ(items, (std::vector<int>{1, 2}));
  EXPECT_EQ(e.FromWriteQueue, 0);
  EXPECT_EQ(e.ActiveStation, 1) << "the poll ring sent to station 1";
}

TEST_F(Engine, AllStationsAsleepStartTheFullSleep) {
  for (int n = 1; n <= 3; ++n) state->Station(n).SleepTimer = 100.0;
  Cycle();
  EXPECT_EQ(state->FullSleepTimer.value(), 600.0);
  EXPECT_TRUE(line.Written().empty());
  e.WriteQueue.Insert(Write(1));
  state->Station(1).SleepTimer = 0.0;
  for (int i = 0; i < 5; ++i) Cycle();
  EXPECT_TRUE(line.Written().empty()) << "nothing at all is sent in full sleep";
  clock.AdvanceMs(600 * 1000);
  Cycle();
  EXPECT_TRUE(EventSeen("Konec úplného módu \"sleep\""));
  Cycle();
  EXPECT_FALSE(line.Written().empty());
}

TEST_F(Engine, TenthTimeoutPutsTheStationToSleep) {
  state->SelfReading = 0;
  e.WriteQueue.Insert(Write(2));
  for (int t = 1; t <= 10; ++t) {
    Cycle();
    ASSERT_EQ(e.ActiveStation, 2);
    line.Drain();
    Cycle();
    Cycle();
    Cycle(1100);  // no answer within AnswerTime
    ASSERT_EQ(e.ThreadPhase, 255) << "timeout " << t;
    Cycle();
    EXPECT_EQ(state->Station(2).TimeoutRun, t);
    EXPECT_EQ(state->Station(2).SleepTimer.value() > 0, t == 10);
  }
  EXPECT_EQ(state->Station(2).TimeoutCount, 10);
  EXPECT_EQ(e.ErrorCount.value(), 10.0);
  EXPECT_TRUE(EventSeen("ST2 - start módu \"sleep\""));
  const auto timeoutLine = std::find_if(events.begin(), events.end(), [](const std::string& s) {
    return Cp1250ToUtf8(s).rfind("ST2 - překročení času (", 0) == 0;
  });
  EXPECT_NE(timeoutLine, events.end());
  EXPECT_EQ(e.WriteQueue.Count(), 1u) << "the write for a station without a phone is never dropped";
}

TEST_F(Engine, UnansweredWriteIsRotatedBehindOthers) {
  state->SelfReading = 0;
  e.WriteQueue.Insert(Write(1, 4, 1));
  e.WriteQueue.Insert(Write(2, 4, 1));
  Cycle();
  line.Drain();
  Cycle();
  Cycle();
  Cycle(1100);
  EXPECT_EQ(e.WriteQueue.Head()->Station, 2);
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
  state->SelfReading = 0;
  state->NumMorvenError = 1;
  state->StayInQueueOnTimeout = c.stay;
  state->Station(2).Phone = "123";
  e.WriteQueue.Insert(Write(2));
  Cycle();
  line.Drain();
  Cycle();
  Cycle();
  Cycle(1100);
  EXPECT_EQ(e.WriteQueue.Count(), c.left);
  EXPECT_EQ(state->Station(2).Flags.in_last_com_err, c.lastErr);
}

INSTANTIATE_TEST_SUITE_P(Phone, PhoneTimeout,
                         ::testing::Values(PhoneCase{"removed", 0, 0, 1}, PhoneCase{"stays", 1, 1, 0}),
                         [](const auto& p) { return std::string(p.param.label); });

TEST_F(Engine, TimeoutBeforeTheAnswerPhaseKeepsTheRequestAndCountsNoError) {
  state->SelfReading = 0;
  e.WriteQueue.Insert(Write(2));
  Cycle();
  Cycle(1100);  // still transmitting: the output never drains
  EXPECT_EQ(e.ThreadPhase, 255);
  Cycle();
  EXPECT_EQ(e.ThreadPhase, 0);
  EXPECT_EQ(e.ErrorCount.value(), 0.0);
  EXPECT_EQ(e.WriteQueue.Count(), 1u);
  EXPECT_GE(line.PurgeRxCount(), 1);
  EXPECT_GE(line.PurgeTxCount(), 1);
}

TEST_F(Engine, ThreeQqReadsAreMergedBeforeTheChoice) {
  for (std::uint8_t item = 1; item <= 3; ++item) {
    Request r;
    r.Station = 2;
    r.Kind = kKindQqRead;
    r.Data = std::string{'\xBA', '\x01', static_cast<char>(item)};
    e.ReadQueue.Insert(r);
  }
  Cycle();
  EXPECT_TRUE(EventSeen("Fronta požadavků pro VL2 zkomprimována ( 3->1 )"));
  EXPECT_TRUE(EventSeen("ST2 - QQ/čtení (3x)"));
  EXPECT_EQ(e.FromReadQueue, 1);
}

TEST_F(Engine, QqWriteIsAnnouncedWithItsBytes) {
  Request r;
  r.Station = 1;
  r.Kind = kKindQqWrite;
  r.Data = std::string{'\xBA', '\x01', '\x05', '\x0A', 0, 0, 0};
  e.WriteQueue.Insert(r);
  Cycle();
  EXPECT_TRUE(EventSeen("ST1 - QQ/zápis (BA 01 05 0A 00 00 00 )"));
}

TEST_F(Engine, UnknownPhaseRestartsIdle) {
  e.ThreadPhase = 42;
  Cycle();
  EXPECT_EQ(e.ThreadPhase, 0);
}

TEST_F(Engine, ClosedPortMakesNoStepButStillDecodes) {
  line.Open = false;
  e.Received.Add("answer", "sent");
  Cycle();
  EXPECT_TRUE(line.Written().empty());
  EXPECT_EQ(decoded, std::vector<int>{6});
  EXPECT_EQ(e.Received.Count(), 0u);
}

// --- Timers and supervision ---------------------------------------------------

TEST_F(Engine, TimersAdvanceByTheElapsedHundredths) {
  line.Open = false;
  Cycle(250);
  EXPECT_DOUBLE_EQ(e.AnswerTimer.value(), 0.25);
  EXPECT_DOUBLE_EQ(e.LineSilence.value(), 0.25);
  EXPECT_DOUBLE_EQ(e.Timer(PhaseTimer::RtsOn).value(), 250.0);
  EXPECT_DOUBLE_EQ(state->Station(3).SilenceSeconds.value(), 0.25);
  EXPECT_DOUBLE_EQ(state->Station(4).SilenceSeconds.value(), 0.0) << "only loaded stations";
}

TEST_F(Engine, MidnightCountsNoTimeAndRestartsTheAverage) {
  line.Open = false;
  clock.Set({2026, 12, 10, 23, 59, 59, 900});
  e.LastTimeOfDay = TimeOfDayCs(clock);
  Cycle(10);
  EXPECT_GT(e.CycleCount, 0);
  const double silence = e.LineSilence.value();
  Cycle(200);  // into the next day
  EXPECT_EQ(e.LineSilence.value(), silence);
  EXPECT_EQ(e.CycleCount, 0);
  Cycle(10);
  EXPECT_NEAR(e.LineSilence.value(), silence + 0.01, 1e-9);
}

TEST_F(Engine, StatisticsAreRefreshedOnceASecond) {
  int refreshed = 0;
  CommunicationCycle counting{*state, io, {}, [&] { ++refreshed; }};
  line.Open = false;
  for (int i = 0; i < 99; ++i) {
    clock.AdvanceMs(10);
    counting.Run(false);
  }
  EXPECT_EQ(refreshed, 0);
  clock.AdvanceMs(10);
  counting.Run(false);
  EXPECT_EQ(refreshed, 1);
  EXPECT_EQ(e.Timer(PhaseTimer::Stats).value(), 0.0);
}

TEST_F(Engine, SleepEndIsAnnouncedOnce) {
  line.Open = false;
  StationRecord& st = state->Station(2);
  st.SleepTimer = 1.0;
  st.TimeoutRun = 10;
  Cycle(600);
  EXPECT_GT(st.SleepTimer.value(), 0);
  Cycle(600);
  Cycle(600);
  EXPECT_EQ(st.SleepTimer.value(), 0);
  EXPECT_EQ(st.TimeoutRun, 0);
  EXPECT_EQ(std::count_if(events.begin(), events.end(),
                          [](const std::string& s) { return Cp1250ToUtf8(s) == "ST2 - konec módu \"sleep\""; }),
            1);
}

TEST_F(Engine, FinishedHistoryReadoutWritesTheNewTopAsUserPosition) {
  line.Open = false;
  HistoryQuery& q = state->Query;
  q.HistoryState = 2;
  q.HistoryStation = 2;
  q.HistoryUser = 1;
  q.HistoryUserPos = 100;
  q.HistoryTop = 0x01020304;
  Request history;
  history.Station = 2;
  history.Kind = 240;
  e.ReadQueue.Insert(history);
  Cycle();
  EXPECT_EQ(q.HistoryState, 2) << "a record request still waits";
  e.ReadQueue.Clear();
  Cycle();
  EXPECT_EQ(q.HistoryState, 8);
  ASSERT_EQ(e.WriteQueue.Count(), 1u);
  const Request& w = *e.WriteQueue.Head();
  EXPECT_EQ(w.Station, 2);
  EXPECT_EQ(w.Kind, kKindQqWrite);
  EXPECT_EQ(w.Data, std::string("\xBA\x01\x05\x04\x03\x02\x01", 7));
  EXPECT_TRUE(EventSeen("HDB: čtení dokončeno -> zápis nové \"UserPos\" (16909060)"));
  Cycle();
  EXPECT_EQ(e.WriteQueue.Count(), 1u) << "announced and queued once";
}

TEST_F(Engine, HistoryReadoutTimesOut) {
  line.Open = false;
  HistoryQuery& q = state->Query;
  q.HistoryState = 2;
  Request history;
  history.Station = 1;
  history.Kind = 241;
  e.ReadQueue.Insert(history);
  e.WriteQueue.Insert(Write(1));
  e.ThreadPhase = 2;
  e.LastSent = "x";
  clock.AdvanceMs(601 * 1000);
  cycle.AdvanceTimers();
  EXPECT_EQ(q.HistoryState, 9);
  EXPECT_TRUE(EventSeen("HDB: přerušeno čtení - timeout"));
  EXPECT_TRUE(e.ReadQueue.Empty());
  EXPECT_TRUE(e.WriteQueue.Empty());
  EXPECT_EQ(e.ThreadPhase, 0);
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
    state->SelfReading = 0;
    e.WriteQueue.Insert(Write(1, 4, 1));
    Cycle();
    const std::string sent = line.Written();
    line.Drain();
    while (e.ThreadPhase != 2) Cycle();
    return sent;
  }
  // Cycles until the decoder has had n entries (at most 40 cycles).
  void CycleUntilDecoded(std::size_t n) {
    for (int i = 0; i < 40 && entries.size() < n; ++i) Cycle();
  }
};

TEST_P(StrayFrame, IsDecodedButDoesNotEndTheExchange) {
  const StrayCase& c = GetParam();
  if (c.beforeTheRequest) line.Receive(c.frame);
  const std::string sent = SendWrite();
  if (!c.beforeTheRequest) line.Receive(c.frame);
  CycleUntilDecoded(1);
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_TRUE(entries[0].SentFrame.empty()) << "read against no request";
  EXPECT_EQ(entries[0].Values, c.values);
  EXPECT_EQ(e.ThreadPhase, 2) << "still waiting";
  EXPECT_EQ(e.WriteQueue.Count(), 1u) << "the write is not done";
  EXPECT_EQ(e.LastSent.str(), sent);

  line.Receive(AnswerFrame(11, "b\x01\x00"));
  CycleUntilDecoded(2);
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[1].SentFrame.str(), sent);
  EXPECT_EQ(entries[1].Values, AnswerValues::Store);
  EXPECT_EQ(e.ThreadPhase, 3);
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
  state->SelfReading = 0;
  e.WriteQueue.Insert(Write(1, 4, 1));
  Cycle();
  line.Drain();
  while (e.ThreadPhase != 2) Cycle();
  line.Take();
  const std::string report = AnswerFrame(12, "H");
  line.Receive(report);
  for (int i = 0; i < 20 && line.Written().empty(); ++i) Cycle();
  EXPECT_EQ(line.Take(), report) << "a short-form report is acknowledged by its echo";
  EXPECT_EQ(state->Station(2).Flags.in_active_message, 1);
  EXPECT_EQ(e.ThreadPhase, 2);
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
  state->SelfReading = 0;
  StationRecord& st = state->Station(1);
  Request readBI = Write(1, 0, 1);
  Request readAI = Write(1, 1, 1);
  st.DefAnalogInAddr = 0x0100;
  auto waitForRequest = [&] {
    for (int i = 0; i < 300 && e.ThreadPhase != 2; ++i) {
      line.Drain();
      Cycle();
    }
    ASSERT_EQ(e.ThreadPhase, 2);
  };
  // The first read of the inputs times out; the second is answered with the
  // inputs as they are now (input 1 on).
  e.ReadQueue.Insert(readBI);
  waitForRequest();
  Cycle(1100);
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
  for (int i = 0; i < 10; ++i) Cycle();
  EXPECT_EQ(st.BinarInValue[1], 1) << "not taken back by the late answer";
  EXPECT_EQ(e.ThreadPhase, 2);
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
  for (int i = 0; i < 10; ++i) Cycle();
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
  state->SelfReading = 0;
  StationRecord& st = state->Station(1);
  auto waitForRequest = [&] {
    for (int i = 0; i < 300 && e.ThreadPhase != 2; ++i) {
      line.Drain();
      Cycle();
    }
    ASSERT_EQ(e.ThreadPhase, 2);
  };
  // Station 1 does not answer in time; while station 2 is asked, its late
  // answer comes: input 1 on.
  e.ReadQueue.Insert(Write(1, 0, 1));
  waitForRequest();
  Cycle(1100);
  e.ReadQueue.Clear();
  e.ReadQueue.Insert(Write(2, 0, 1));
  waitForRequest();
  line.Receive(AnswerFrame(11, "B\x01\x01"));
  for (int i = 0; i < 10; ++i) Cycle();
  EXPECT_EQ(st.BinarInValue[1], 1) << "stored: nothing newer from station 1";
  EXPECT_EQ(e.ThreadPhase, 2) << "and station 2 is still awaited";
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
  for (int i = 0; i < 10; ++i) Cycle();
  EXPECT_EQ(st.BinarInValue[1], 0) << "not taken back to what it said before";
  line.Receive(AnswerFrame(12, "B\x01\x00"));
  RunToIdle();
  EXPECT_TRUE(e.ReadQueue.Empty());
}

}  // namespace
}  // namespace qz
