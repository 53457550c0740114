#include "engine/cycle.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

#include "diag/log.h"
#include "diag/texts.h"
#include "engine/line_control.h"
#include "history/history_state.h"
#include "serial/port_setup.h"

namespace qz {

namespace {

constexpr double kMsPerDay = 86'400'000.0;
constexpr double kStatisticsPeriodMs = 1000.0;

// Days from 1970-01-01 to the given civil date (proleptic Gregorian).
long long DaysFromCivil(long long y, unsigned m, unsigned d) {
  y -= m <= 2;
  const long long era = (y >= 0 ? y : y - 399) / 400;
  const auto yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3u : 9u)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<long long>(doe) - 719468;
}

void Add(Real6& field, double amount) { field = field.value() + amount; }

}  // namespace

double DateTimeValue(const LocalDateTime& t) {
  const long long days = DaysFromCivil(t.Year, static_cast<unsigned>(t.Month), static_cast<unsigned>(t.Day)) + 25569;
  const double ms = ((t.Hour * 60.0 + t.Minute) * 60.0 + t.Second) * 1000.0 + t.Millisecond;
  return static_cast<double>(days) + ms / kMsPerDay;
}

Request UserPositionWrite(const HistoryQuery& query, std::int32_t position) {
  Request r;
  r.Station = static_cast<std::uint8_t>(query.HistoryStation);
  r.Kind = RequestKind::QqWrite;
  r.Item = 0;
  std::string data = {'\xBA', '\x01', static_cast<char>((query.HistoryUser + 4) & 0xFF)};
  const auto pos = static_cast<std::uint32_t>(position);
  for (int i = 0; i < 4; ++i) data += static_cast<char>((pos >> (8 * i)) & 0xFF);
  r.Data = data;
  return r;
}

CommunicationCycle::CommunicationCycle(const EngineRecords& records, EngineIo& io, Decoder decoder,
                                       std::function<void()> statistics)
    : config_(records.Config),
      engine_(records.Engine),
      query_(records.Query),
      io_(io),
      decoder_(std::move(decoder)),
      statistics_(std::move(statistics)),
      machine_(records, io) {}

StepResult CommunicationCycle::Run(bool portOpen, std::int32_t idleMs) {
  MeasureCycle();
  StepResult next;
  // A bound on steps back to back: the machine never asks for more than a
  // few (silence over, choose, send), so this only guards the thread.
  constexpr int kMostSteps = 16;
  for (int steps = 0; steps < kMostSteps; ++steps) {
    Work(portOpen, next);
    if (!next.RunsAt(io_.Time.SteadyMs())) break;
  }
  const std::int64_t now = io_.Time.SteadyMs();
  // The line's own wake-ups are not to be relied on everywhere (a port
  // that never reports received bytes): a wait on the line is bounded too.
  const bool onTheLine = next.WantBytes > 0 || next.WantDrain;
  if (idleMs > 0 && (!next.At || (onTheLine && *next.At > now + idleMs))) next.At = now + idleMs;
  AddSupervisionTimes(now, next);
  return next;
}

// The machine's next time is asked after the decoding, which may have
// given it an acknowledgement to send; an answer still to decode is due at once.
void CommunicationCycle::Work(bool portOpen, StepResult& next) {
  AdvanceTimers();
  HandOverPending();
  if (portOpen) machine_.Step(io_.Time.SteadyMs());
  ExtractData();
  HandOverPending();
  const std::int64_t now = io_.Time.SteadyMs();
  next = portOpen ? machine_.Due(now) : StepResult{};
  if (engine_.Received.Count() > 0) next.At = now;
}

// The times of the supervision that runs with the timers, whatever the
// machine waits for.
void CommunicationCycle::AddSupervisionTimes(std::int64_t nowMs, StepResult& next) const {
  const EngineState& e = engine_;
  const auto due = [&](double ms) {
    const std::int64_t at = nowMs + static_cast<std::int64_t>(std::ceil(std::max(ms, 0.0)));
    if (!next.At || at < *next.At) next.At = at;
  };
  due(kStatisticsPeriodMs - e.Timer(PhaseTimer::Stats).value());
  for (int n = 1; n <= config_.StationCount && n <= kMaxStations; ++n) {
    const auto& slot = config_.Stations[static_cast<std::size_t>(n)];
    if (slot && slot->SleepTimer.value() > 0) due(slot->SleepTimer.value() * 1000.0);
  }
  if (engine_.FullSleepTimer.value() > 0) due(engine_.FullSleepTimer.value() * 1000.0);
  const HistoryQuery& q = query_;
  if (q.HistoryState == HistoryPhase::ReadingRecords) {
    due((q.HistoryTimeout.value() - q.HistoryElapsed.value()) * 1000.0 + 1.0);
  }
}

// A whole period: the work of the previous cycle and its idle sleep.
void CommunicationCycle::MeasureCycle() {
  EngineState& e = engine_;
  const double now = DateTimeValue(io_.Time.Now());
  e.CycleMs = (now - e.LastCycleStart) * kMsPerDay;
  if (e.CycleMs > e.MaxCycleMs) e.MaxCycleMs = e.CycleMs;
  e.LastCycleStart = now;
  e.CycleSumMs += e.CycleMs;
  e.CycleCount += 1;
}

void CommunicationCycle::HandOverPending() {
  if (!engine_.PendingEventText.empty()) io_.ShowEvent(engine_.PendingEventText.view());
}

void CommunicationCycle::AdvanceTimers() {
  EngineState& e = engine_;
  engine_.PendingEventText.clear();
  // Counted in milliseconds on the clock the machine's times are on, so
  // that its timings are met to the millisecond; the day's change is still
  // told by the time of day going back.
  const std::int32_t now = TimeOfDayMs(io_.Time);
  const std::int64_t steady = io_.Time.SteadyMs();
  const std::int32_t last = e.LastTimeOfDayMs >= 0 ? e.LastTimeOfDayMs : e.LastTimeOfDay * 10;
  std::int64_t elapsedMs = 0;
  if (last <= now) {
    elapsedMs = e.LastSteadyMs >= 0 ? std::max<std::int64_t>(steady - e.LastSteadyMs, 0) : now - last;
  } else {  // past midnight: no time counted, the average restarts
    e.CycleSumMs = 0;
    e.CycleCount = 0;
  }
  const double seconds = static_cast<double>(elapsedMs) / 1000.0;
  Add(e.AnswerTimer, seconds);
  Add(e.LineSilence, seconds);
  for (auto& timer : e.PhaseTimers) Add(timer, static_cast<double>(elapsedMs));
  if (e.Timer(PhaseTimer::Stats).value() >= kStatisticsPeriodMs) {
    e.Timer(PhaseTimer::Stats) = 0.0;
    if (statistics_) statistics_();
  }
  if (query_.HistoryState == HistoryPhase::ReadingRecords) SuperviseHistory(seconds);
  AdvanceStationSleep(seconds);
  AdvanceFullSleep(seconds);
  e.LastTimeOfDayMs = now;
  e.LastTimeOfDay = now / 10;
  e.LastSteadyMs = steady;
}

void CommunicationCycle::SuperviseHistory(double seconds) {
  HistoryQuery& q = query_;
  EngineState& e = engine_;
  Add(q.HistoryElapsed, seconds);
  if (!e.ReadQueue.HasHistoryRequests()) {
    // Every record request has left the queue: the station's user position
    // moves on to its top, so the next read-out starts after these records.
    q.HistoryState = HistoryPhase::WritingUserPos;
    char buf[160];
    std::snprintf(buf, sizeof buf, std::string(text::kEvtHistoryDone).c_str(), q.HistoryTop);
    io_.ShowEvent(buf);
    e.WriteQueue.Insert(UserPositionWrite(q, q.HistoryTop));
  }
  if (q.HistoryElapsed.value() > q.HistoryTimeout.value()) {
    q.HistoryState = HistoryPhase::TimedOut;
    io_.ShowEvent(text::kEvtHistoryTimeout);
    e.ReadQueue.Clear();
    e.WriteQueue.Clear();
    ResetLine(io_.Line, engine_);
    e.ThreadPhase = Phase::Idle;
    e.LastSent.clear();
  }
}

void CommunicationCycle::AdvanceStationSleep(double seconds) {
  for (int n = 1; n <= config_.StationCount && n <= kMaxStations; ++n) {
    if (!config_.Stations[static_cast<std::size_t>(n)]) continue;
    StationRecord& st = config_.Station(n);
    Add(st.SilenceSeconds, seconds);
    if (st.SleepTimer.value() > 0) {
      Add(st.SleepTimer, -seconds);
      if (st.SleepTimer.value() <= 0) {
        st.SleepTimer = 0.0;
        io_.ShowEvent(st.Name.str() + std::string(text::kEvtSleepEnd));
        st.TimeoutRun = 0;
      }
    }
  }
}

void CommunicationCycle::AdvanceFullSleep(double seconds) {
  if (engine_.FullSleepTimer.value() <= 0) return;
  Add(engine_.FullSleepTimer, -seconds);
  if (engine_.FullSleepTimer.value() <= 0) {
    engine_.FullSleepTimer = 0.0;
    io_.ShowEvent(text::kEvtFullSleepEnd);
  }
}

void CommunicationCycle::ExtractData() {
  EngineState& e = engine_;
  const ReceivedEntry* entry = e.Received.Oldest();
  if (!entry) return;
  const int result = decoder_ ? decoder_(*entry) : 0;
  if (io_.Log) io_.Log(text::kLogExtractData, std::string(text::kLogDecodeResult) + static_cast<char>(result + 48));
  e.Received.DropOldest();
}

}  // namespace qz
