#include "engine/transaction_machine.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

#include "diag/log.h"
#include "diag/texts.h"
#include "protocol/request_encoding.h"
#include "protocol/text_format.h"
#include "serial/port_setup.h"

namespace qz {

namespace {

constexpr int kRtsSignal = 0;

// The port's receive buffer as the frame assembler reads it: only what has
// already arrived, so a step never waits on the line.
class LineInput final : public ByteInput {
 public:
  explicit LineInput(SerialLine& line) : line_(line) {}
  std::size_t Waiting() override {
    const std::int32_t n = RxCount(line_);
    return n > 0 ? static_cast<std::size_t>(n) : 0;
  }
  std::string Read(std::size_t count) override {
    return ReadBytes(line_, static_cast<int>(count)).str();
  }

 private:
  SerialLine& line_;
};

std::string TimeoutStamp(const Clock& clock) {
  const LocalDateTime t = clock.Now();
  char buf[48];
  std::snprintf(buf, sizeof buf, "%d.%d.%d %d:%02d:%02d", t.Day, t.Month, t.Year, t.Hour, t.Minute, t.Second);
  return buf;
}

}  // namespace

RequestKind PollRingKind(std::uint16_t pollKind) {
  switch (pollKind) {
    case 2: return RequestKind::ReadAI;
    case 3: return RequestKind::ReadCT;
    case 4: return RequestKind::ReadAndClearCT;
    case 5: return RequestKind::ReadMI;
    default: return RequestKind::ReadBI;
  }
}

TransactionMachine::TransactionMachine(const EngineRecords& records, EngineIo& io)
    : config_(records.Config),
      engine_(records.Engine),
      log_(records.Log),
      io_(io),
      assembler_(records.Config, records.Log, records.Engine.PrefixBuffer, records.Engine.AnswerBuffer,
                 [this](const ShortStr& message) { Receive(message); }) {}

StationRecord* TransactionMachine::StationAt(int n) {
  if (n < 1 || n > kMaxStations || !config_.Stations[static_cast<std::size_t>(n)]) return nullptr;
  return &config_.Station(n);
}

bool TransactionMachine::Asleep(int n) const {
  if (n < 1 || n > kMaxStations || !config_.Stations[static_cast<std::size_t>(n)]) return false;
  return config_.Station(n).SleepTimer.value() > 0;
}

StepResult TransactionMachine::Step(std::int64_t nowMs) {
  if (engine_.FullSleepTimer.value() != 0) return Due(nowMs);
  switch (CurrentPhase()) {
    case Phase::Idle: ChooseAndSend(); break;
    case Phase::RtsLead: RtsLead(); break;
    case Phase::Transmit: Transmitting(); break;
    case Phase::RtsLag: RtsLag(); break;
    case Phase::AwaitAnswer: AwaitAnswer(); break;
    case Phase::Silence: Silence(); break;
    case Phase::Acknowledge: Acknowledge(); break;
    case Phase::Timeout: HandleTimeout(); break;
    default: SetPhase(Phase::Idle); break;
  }
  return Due(nowMs);
}

namespace {

// The time at which a millisecond timer that stands at `elapsed` reaches
// `limit` (strict: passes it, which on a millisecond clock is 1 ms later).
std::int64_t TimerDue(std::int64_t nowMs, double elapsed, double limit, bool strict) {
  const double left = limit - elapsed;
  if (strict) return left < 0 ? nowMs : nowMs + static_cast<std::int64_t>(std::floor(left)) + 1;
  return left <= 0 ? nowMs : nowMs + static_cast<std::int64_t>(std::ceil(left));
}

}  // namespace

StepResult TransactionMachine::Due(std::int64_t nowMs) const {
  StepResult next;
  if (engine_.FullSleepTimer.value() != 0) {
    next.At = TimerDue(nowMs, 0, engine_.FullSleepTimer.value() * 1000.0, false);
    return next;
  }
  const auto answerDue = [&] {
    return TimerDue(nowMs, engine_.AnswerTimer.value() * 1000.0, AnswerTimeSeconds() * 1000.0, true);
  };
  switch (CurrentPhase()) {
    case Phase::RtsLead:
      next.At = std::min(answerDue(), TimerDue(nowMs, engine_.Timer(PhaseTimer::RtsOn).value(),
                                               config_.RtsTimeOn, false));
      break;
    case Phase::Transmit:
      next.At = answerDue();
      next.WantDrain = true;
      break;
    case Phase::RtsLag:
      next.At = std::min(answerDue(), TimerDue(nowMs, engine_.Timer(PhaseTimer::RtsOff).value(),
                                               config_.RtsTimeOff, false));
      break;
    case Phase::AwaitAnswer:
      // Nothing sent: the next step only returns to the idle phase, which
      // has nothing to choose until the host queues a request, unless the
      // poll ring has a next position.
      if (!engine_.AwaitingAnswer) {
        if (emptyRingChoices_ > 0) next.At = nowMs;  // the ring moves on
        break;
      }
      // An acknowledgement of a report goes out at the next step.
      next.At = engine_.AckPending ? nowMs : answerDue();
      next.WantBytes = BytesAwaited();
      break;
    case Phase::Silence:
      next.At = TimerDue(nowMs, engine_.Timer(PhaseTimer::Silence).value(),
                         config_.SilenceWait, true);
      break;
    default:  // idle, acknowledgement sent, time-out handling: at once
      next.At = nowMs;
      break;
  }
  return next;
}

// What the receive step needs waiting before it can take the next part of
// a frame: a byte of the prefix, the address and length, or the rest.
std::int32_t TransactionMachine::BytesAwaited() const {
  if (engine_.PrefixBuffer != config_.Prefix) return 1;
  if (engine_.AnswerBuffer.empty()) return 2;
  return std::max<std::int32_t>(1, engine_.AnswerBuffer.byte(1));
}

void TransactionMachine::Log(std::string_view label, std::string_view text) const {
  if (io_.Log) io_.Log(label, text);
}

// --- Phase 0 ---------------------------------------------------------------

// A full turn takes at most as many rotations as the queue has requests (a
// rotation may drop a superseded head, so the first head need not return).
const Request* TransactionMachine::ChooseAwakeHead(RequestQueue& queue) {
  const Request* head = queue.Head();
  for (std::size_t turns = queue.Count(); head && Asleep(head->Station); --turns) {
    if (turns == 0) return nullptr;
    queue.Rotate();
    head = queue.Head();
  }
  return head;
}

bool TransactionMachine::ChooseFromWriteQueue(ShortStr& frame) {
  const Request* head = ChooseAwakeHead(engine_.WriteQueue);
  if (!head) return false;
  const Request request = *head;
  StationRecord* st = StationAt(request.Station);
  if (request.Kind == RequestKind::QqWrite && st) {
    io_.ShowEvent(st->Name.str() + std::string(text::kEvtQqWrite) + HexText(request.Data.view()) + ")");
  }
  frame = CodeMess(config_, log_, request);
  if (st) ++st->RequestCount;
  engine_.FromWriteQueue = 1;
  Log(text::kLogRing, text::kLogRingWritePriority);
  return true;
}

bool TransactionMachine::ChooseFromReadQueue(ShortStr& frame) {
  RequestQueue& queue = engine_.ReadQueue;
  const std::size_t before = queue.Count();
  if (before > 1) queue.CompressQqReads(engine_.MergeLimit);
  const std::size_t after = queue.Count();
  if (before > after && after > 0) {
    io_.ShowEvent(std::string(text::kEvtQueueCompressed) + std::to_string(before) + "->" +
                  std::to_string(after) + " )");
  }
  const Request* head = ChooseAwakeHead(queue);
  if (!head) return false;
  const Request request = *head;
  StationRecord* st = StationAt(request.Station);
  if (request.Kind == RequestKind::QqRead && st) {
    io_.ShowEvent(st->Name.str() + std::string(text::kEvtQqRead) + std::to_string(request.Data.size() / 3) +
                  std::string(text::kEvtQqReadEnd));
  }
  frame = CodeMess(config_, log_, request);
  if (st) ++st->RequestCount;
  engine_.FromReadQueue = 1;
  Log(text::kLogRing, text::kLogRingRead);
  return true;
}

void TransactionMachine::ChooseFromPollRing(ShortStr& frame) {
  Log(text::kLogRing, text::kLogRingPoll);
  const std::uint16_t station = engine_.PollStation;
  const std::uint16_t kind = engine_.PollKind;
  const std::uint16_t item = engine_.PollItem;
  // The ring's first position (kind 0) never comes round again, so a full
  // turn is also bounded by the ring's greatest length.
  constexpr int kLongestTurn = kMaxStations * (5 + kMaxMemoryOut);
  int steps = 0;
  while (Asleep(engine_.PollStation)) {
    AdvancePoll();
    const bool back = engine_.PollStation == station && engine_.PollKind == kind && engine_.PollItem == item;
    if (back || ++steps > kLongestTurn) {
      if (engine_.FullSleepTimer.value() == 0) engine_.FullSleepTimer = config_.SleepTime;
      Log(text::kLogRing, text::kLogRingAllAsleep);
      return;
    }
  }
  Request request;
  request.Station = static_cast<std::uint8_t>(engine_.PollStation);
  request.Kind = PollRingKind(engine_.PollKind);
  request.Item = engine_.PollItem;
  frame = CodeMess(config_, log_, request);
  if (StationAt(request.Station)) ++StationAt(request.Station)->RequestCount;
}

void TransactionMachine::ChooseAndSend() {
  expected_ = {};  // nothing on the line: no frame is an answer
  engine_.FromWriteQueue = 0;
  engine_.FromReadQueue = 0;
  ShortStr frame;
  bool fromQueue = false;
  if (!engine_.WriteQueue.Empty()) fromQueue = ChooseFromWriteQueue(frame);
  if (!fromQueue && !engine_.ReadQueue.Empty()) fromQueue = ChooseFromReadQueue(frame);
  if (!fromQueue && config_.SelfReading) ChooseFromPollRing(frame);

  // A ring position that gives no frame (a station without counters) is
  // passed at once; a whole turn of them, or a queued request that cannot
  // be encoded, waits for the next wake.
  const int longestTurn = std::max<int>(1, config_.StationCount) * (5 + kMaxMemoryOut);
  if (!frame.empty()) emptyRingChoices_ = 0;
  else if (!fromQueue && config_.SelfReading && emptyRingChoices_ < longestTurn) ++emptyRingChoices_;
  else emptyRingChoices_ = -1;
  if (!frame.empty()) {
    StartTransmission(frame);
  } else {
    SetPhase(Phase::AwaitAnswer);
    engine_.AwaitingAnswer = 0;
  }
  if (!fromQueue) AdvancePoll();
}

void TransactionMachine::StartTransmission(const ShortStr& frame) {
  Log(text::kLogRing, text::kLogRingTransmit);
  engine_.TxMessage = frame;
  if (config_.RtsTimeOn != 0) {
    Log(text::kLogRtsOn, text::kLogPhaseStart);
    engine_.Timer(PhaseTimer::RtsOn) = 0.0;
    SetRts(true);
    SetPhase(Phase::RtsLead);
  } else {
    SendRequest();
  }
  HexDump(io_.Log, text::kLogTransmitMessage, frame.view());
  engine_.AwaitingAnswer = 1;
  engine_.AnswerTimer = 0.0;
  MarkActiveStation();
}

void TransactionMachine::MarkActiveStation() {
  const Request* head = nullptr;
  if (engine_.FromWriteQueue) head = engine_.WriteQueue.Head();
  else if (engine_.FromReadQueue) head = engine_.ReadQueue.Head();
  if (head) {
    engine_.ActiveStation = head->Station;
    engine_.ActiveKind = KindByte(head->Kind);
    if (StationRecord* st = StationAt(head->Station)) st->Flags.in_now_comm = 1;
  } else if (config_.SelfReading) {
    engine_.ActiveStation = static_cast<std::uint8_t>(engine_.PollStation);
    engine_.ActiveKind = static_cast<std::uint8_t>(engine_.PollKind);
  } else {
    engine_.ActiveStation = 0;
    engine_.ActiveKind = 0;
  }
}

void TransactionMachine::AdvancePoll() {
  if (PollRingKind(engine_.PollKind) == RequestKind::ReadMI) {
    ++engine_.PollItem;
    const StationRecord* st = StationAt(engine_.PollStation);
    const bool tableDone = !st || engine_.PollItem > st->NumMemoryIn || st->MemoryInArray;
    if (!tableDone) return;
    engine_.PollItem = 1;
  }
  if (++engine_.PollKind > 5) {
    engine_.PollKind = 1;
    if (++engine_.PollStation > config_.StationCount) engine_.PollStation = 1;
  }
}

// --- Transmission ------------------------------------------------------------

void TransactionMachine::SendRequest() {
  expected_ = ExpectedAnswer(config_, engine_.TxMessage.view());
  answersFrom_ = assembler_.Taken() + static_cast<std::uint64_t>(std::max(RxCount(io_.Line), 0));
  engine_.LastSent = engine_.TxMessage;
  Send(engine_.TxMessage, Phase::Transmit);
  engine_.SentCount = engine_.SentCount.value() + 1;
}

void TransactionMachine::RtsLead() {
  if (engine_.Timer(PhaseTimer::RtsOn).value() >= config_.RtsTimeOn) {
    Log(text::kLogRtsOn, text::kLogPhaseEnd);
    SetRts(true);
    SendRequest();
    Log(text::kLogRtsStillOn, HexText(engine_.TxMessage.view()));
  }
  TimeoutTest();
}

void TransactionMachine::Transmitting() {
  if (TxDone()) {
    Beep(1000);
    SetRts(true);
    engine_.Timer(PhaseTimer::RtsOff) = 0.0;
    SetPhase(Phase::RtsLag);
    Log(text::kLogTransmit, text::kLogPhaseEnd);
    engine_.AnswerBuffer.clear();
    engine_.PrefixBuffer.clear();
    io_.Line.PurgeRx();
  }
  TimeoutTest();
}

void TransactionMachine::RtsLag() {
  if (engine_.Timer(PhaseTimer::RtsOff).value() >= config_.RtsTimeOff) {
    Log(text::kLogRtsOff, text::kLogPhaseEnd);
    SetRts(false);
    SetPhase(Phase::AwaitAnswer);
  }
  TimeoutTest();
}

// Counted from the moment the frame was chosen, RTS times and sending included.
void TransactionMachine::TimeoutTest() {
  if (engine_.AnswerTimer.value() > AnswerTimeSeconds()) SetPhase(Phase::Timeout);
}

// --- Answer ------------------------------------------------------------------

void TransactionMachine::AwaitAnswer() {
  // A report that came while the machine waits, not as the answer, is
  // acknowledged at once: the station expects it before the exchange ends.
  if (engine_.AckPending) {
    SendText(io_.Line, engine_.AckText.view());
    engine_.AckPending = 0;
    engine_.AckText.clear();
  }
  accepted_ = false;
  LineInput input(io_.Line);
  const std::uint64_t started = assembler_.Counters().Started;
  // Everything already received, up to the answer: the prefix hunt costs
  // no step per byte.
  while (!accepted_) {
    const std::uint64_t taken = assembler_.Taken();
    assembler_.Step(input);
    if (assembler_.Taken() == taken) break;  // waits for bytes that are not there
  }
  const std::uint64_t headers = assembler_.Counters().Started - started;
  if (headers) engine_.ReceivedCount = engine_.ReceivedCount.value() + static_cast<double>(headers);
  if (accepted_) {
    NoteExchangeEnd(true);
    Beep(2000);
    engine_.LineSilence = 0.0;
    engine_.AwaitingAnswer = 0;
    SetPhase(Phase::Silence);
    engine_.Timer(PhaseTimer::Silence) = 0.0;
    QueueOutcome(true);
  } else if (engine_.AnswerTimer.value() > AnswerTimeSeconds() && engine_.AwaitingAnswer) {
    NoteExchangeEnd(false);
    SetPhase(Phase::Timeout);
    engine_.ErrorCount = engine_.ErrorCount.value() + 1;
    QueueOutcome(false);
  } else if (!engine_.AwaitingAnswer) {
    SetPhase(Phase::Idle);
  }
}

// A frame that is not the answer and carries no report answers an earlier
// request of its sender. Its values are older than the ones the station
// gives now when it is the station asked, and older than the ones it gave
// since when its last exchange was answered.
bool TransactionMachine::IsStaleAnswer(const ShortStr& message) const {
  if (CarriesReport(message.view())) return false;
  const std::uint8_t sender = SenderAddress(message.view());
  if (expected_.Known && sender == expected_.Station) return true;
  for (int n = 1; n <= config_.StationCount && n <= kMaxStations; ++n) {
    const auto& slot = config_.Stations[static_cast<std::size_t>(n)];
    if (slot && slot->Address == sender) return answeredLast_[static_cast<std::size_t>(n)];
  }
  return false;
}

void TransactionMachine::NoteExchangeEnd(bool answered) {
  if (engine_.ActiveStation <= kMaxStations) answeredLast_[engine_.ActiveStation] = answered;
}

// Every accepted frame is decoded. It completes the exchange only when it
// answers the request on the line and began after the request was written;
// then it travels with the frame that was sent. Another frame travels
// alone, so that no answer is read against a request it does not answer,
// and a stale answer among them stores no values.
void TransactionMachine::Receive(const ShortStr& message) {
  engine_.AcceptedCount = engine_.AcceptedCount.value() + 1;
  const bool answer = engine_.AwaitingAnswer && assembler_.FrameStart() >= answersFrom_ &&
                      AnswersRequest(message.view(), expected_);
  if (answer) {
    engine_.Received.Add(message, engine_.LastSent);
    engine_.LastSent.clear();
    expected_ = {};
    accepted_ = true;
    return;
  }
  const bool late = IsStaleAnswer(message);
  Log(text::kLogReceiveData, late ? text::kLogRxLateAnswer : text::kLogRxNotTheAnswer);
  engine_.Received.Add(message, ShortStr(), late ? AnswerValues::Skip : AnswerValues::Store);
}

void TransactionMachine::QueueOutcome(bool success) {
  RequestQueue* queue = nullptr;
  if (engine_.FromWriteQueue && !engine_.WriteQueue.Empty()) queue = &engine_.WriteQueue;
  else if (engine_.FromReadQueue && !engine_.ReadQueue.Empty()) queue = &engine_.ReadQueue;
  const Request* head = queue ? queue->Head() : nullptr;
  if (!head) return;
  StationRecord* st = StationAt(head->Station);
  if (!st) {
    queue->RemoveHead();  // a request for no station can never be answered
    return;
  }
  st->Flags.in_now_comm = 0;
  const bool phone = !st->Phone.empty();
  if (success) {
    if (!phone) {
      queue->RemoveHead();
    } else if (st->ErrorRun >= config_.NumMorvenError) {
      st->ErrorRun = 0;
      st->Flags.in_last_com_err = 1;
      queue->RemoveHead();
    } else if (st->Flags.in_last_com_err) {
      queue->Rotate();
    } else {
      queue->RemoveHead();
    }
    return;
  }
  ++st->ErrorRun;
  if (phone && st->ErrorRun >= config_.NumMorvenError) {
    if (config_.StayInQueueOnTimeout) return;
    st->Flags.in_last_com_err = 1;
    st->ErrorRun = 0;
    queue->RemoveHead();
    return;
  }
  queue->Rotate();  // a lone request stays at the head
}

void TransactionMachine::Silence() {
  if (engine_.Timer(PhaseTimer::Silence).value() > config_.SilenceWait) {
    if (engine_.AckPending) {
      Send(engine_.AckText, Phase::Acknowledge);
      engine_.AckPending = 0;
      engine_.AckText.clear();
    } else {
      SetPhase(Phase::Idle);
    }
  }
}

void TransactionMachine::Acknowledge() {
  if (TxDone()) SetPhase(Phase::Idle);
}

void TransactionMachine::HandleTimeout() {
  if (StationRecord* st = StationAt(engine_.ActiveStation)) {
    io_.ShowEvent(st->Name.str() + std::string(text::kEvtTimeout) + TimeoutStamp(io_.Time) + ")");
    ++st->TimeoutRun;
    ++st->TimeoutCount;
    if (st->TimeoutRun >= config_.SleepCount && st->SleepTimer.value() == 0 && config_.SleepTime.value() != 0) {
      st->SleepTimer = config_.SleepTime;
      io_.ShowEvent(st->Name.str() + std::string(text::kEvtSleepStart));
    }
  }
  PurgeLine(io_.Line);
  SetPhase(Phase::Idle);
}

// --- Line helpers --------------------------------------------------------------

void TransactionMachine::Send(const ShortStr& text, Phase next) {
  engine_.ThreadPhase = next;
  SendText(io_.Line, text.view());
}

bool TransactionMachine::TxDone() { return qz::TxDone(io_.Line, engine_.ThreadPhase == Phase::Transmit); }

void TransactionMachine::SetRts(bool on) { io_.Line.SetSignal(kRtsSignal, on); }

void TransactionMachine::Beep(int frequency) {
  if (config_.Beep && io_.Beep) io_.Beep(frequency, 1);
}

}  // namespace qz
