#include "log_traffic.h"

#include <algorithm>
#include <cstdio>

#include "diag/cp1250.h"
#include "diag/texts.h"
#include "log_stations.h"
#include "request_text.h"

namespace qz::readers {

namespace {

// Labels and texts of the communication thread's log lines.
constexpr std::string_view kTransmit = "Transmit Message";
constexpr std::string_view kExtract = "ExtractDATA";
constexpr std::string_view kDecodeUnknown = "DecodeMess = 0";
constexpr std::string_view kRing = "prstynek";
constexpr std::string_view kAllAsleep = "all stations sleep -> do nothing";

std::string HexToBytes(std::string_view hex) {
  std::string out;
  unsigned value = 0;
  int digits = 0;
  for (char c : hex) {
    int d = c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10 : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
    if (d < 0) {
      if (digits == 2) out.push_back(static_cast<char>(value));
      value = 0;
      digits = 0;
      continue;
    }
    value = value * 16 + static_cast<unsigned>(d);
    ++digits;
  }
  if (digits == 2) out.push_back(static_cast<char>(value));
  return out;
}

// "STadr:010 typ:000" of the encoder's line.
std::optional<std::pair<int, int>> CodeMessText(const std::string& text) {
  int address = 0, kind = 0;
  const std::string format = std::string(text::kCodeMessStationAddr) + "%d" + std::string(text::kCodeMessKind) + "%d";
  if (std::sscanf(text.c_str(), format.c_str(), &address, &kind) == 2) return std::pair{address, kind};
  return std::nullopt;
}

int SenderOf(std::string_view r) {
  if (r.size() > 5 && (r[2] == 'Y' || r[2] == 'y')) return static_cast<std::uint8_t>(r[5]);
  return r.empty() ? -1 : static_cast<std::uint8_t>(r[0]);
}

}  // namespace

const char* TrafficKindName(TrafficKind kind) {
  switch (kind) {
    case TrafficKind::Sent: return "sent";
    case TrafficKind::Received: return "received";
    case TrafficKind::Acknowledged: return "ack";
    case TrafficKind::BadCheck: return "bad-check";
    case TrafficKind::ForeignMaster: return "foreign";
    case TrafficKind::UnknownStation: return "unknown-station";
    case TrafficKind::Timeout: return "timeout";
    case TrafficKind::SleepStart: return "sleep";
    case TrafficKind::SleepEnd: return "awake";
    case TrafficKind::AllAsleep: return "all-asleep";
    case TrafficKind::AllAsleepEnd: return "all-asleep-end";
    case TrafficKind::Event: return "event";
  }
  return "event";
}

TrafficEvent TrafficReader::Base(TrafficKind kind, const LogLine& line, int station) const {
  TrafficEvent e;
  e.Kind = kind;
  e.Line = line.Number;
  e.Time = line.Time;
  e.Seconds = line.Seconds;
  e.Station = station;
  if (stations_ && station >= 0) e.Name = stations_->NameOf(station);
  return e;
}

void TrafficReader::Emit(TrafficEvent e) { events_.push_back(std::move(e)); }

std::vector<TrafficEvent> TrafficReader::Events() {
  std::vector<TrafficEvent> out(events_.begin(), events_.end());
  events_.clear();
  return out;
}

void TrafficReader::Take(const LogLine& line) {
  if (line.Label == text::kLogHexDump && dump_) {
    dump_->Bytes += HexToBytes(line.Text);
    return;
  }
  EndDump();
  if (line.Label == kTransmit || line.Label == text::kLogDecodeReceived || line.Label == text::kLogSend) {
    dump_ = Dump{line.Label, line, {}};
    return;
  }
  ReceiveStep(line);
  if (line.Label == text::kLogCodeMess) {
    codeMess_ = CodeMessText(line.Text);
  } else if (line.Label == kExtract && line.Text == kDecodeUnknown) {
    Emit(Base(TrafficKind::UnknownStation, line, -1));
  } else if (line.Label == text::kLogAddToMemo) {
    Memo(line);
  } else if (line.Label == kRing && line.Text == kAllAsleep) {
    if (events_.empty() || events_.back().Kind != TrafficKind::AllAsleep) Emit(Base(TrafficKind::AllAsleep, line, -1));
  }
}

void TrafficReader::Finish() {
  EndDump();
  if (rx_ == Rx::Message) Emit(Base(TrafficKind::BadCheck, rxLine_, waiting_ ? waiting_->Station : -1));
  if (rx_ == Rx::Checked) Emit(Base(TrafficKind::ForeignMaster, rxLine_, -1));
  rx_ = Rx::Idle;
}

// The receive step logs "Message", then "XOR OK" when the check byte holds,
// then "SaveIt" when the message is for this master, all in one step.
void TrafficReader::ReceiveStep(const LogLine& line) {
  const bool rx = line.Label == text::kLogReceiveData;
  if (rx_ == Rx::Message && !(rx && line.Text == text::kLogRxXorOk)) {
    Emit(Base(TrafficKind::BadCheck, rxLine_, waiting_ ? waiting_->Station : -1));
    rx_ = Rx::Idle;
  } else if (rx_ == Rx::Checked && !(rx && line.Text == text::kLogRxSaveIt)) {
    Emit(Base(TrafficKind::ForeignMaster, rxLine_, -1));
    rx_ = Rx::Idle;
  }
  if (!rx) return;
  if (line.Text == text::kLogRxMessage) {
    rx_ = Rx::Message;
    rxLine_ = line;
  } else if (line.Text == text::kLogRxXorOk && rx_ == Rx::Message) {
    rx_ = Rx::Checked;
  } else if (line.Text == text::kLogRxSaveIt) {
    rx_ = Rx::Idle;
  }
}

void TrafficReader::EndDump() {
  if (!dump_) return;
  const Dump d = std::move(*dump_);
  dump_.reset();
  if (d.Label == kTransmit) {
    Sent(d);
  } else if (d.Label == text::kLogDecodeReceived) {
    Received(d);
  } else {
    const SentFrame frame = SplitSentFrame(d.Bytes, stations_ ? stations_->PrefixLength() : -1, 0);
    TrafficEvent e = Base(TrafficKind::Acknowledged, d.Head, frame.Found ? frame.Address : -1);
    e.Bytes = d.Bytes;
    Emit(std::move(e));
  }
}

void TrafficReader::Sent(const Dump& d) {
  const int prefix = stations_ ? stations_->PrefixLength() : -1;
  const SentFrame frame = SplitSentFrame(d.Bytes, prefix, stations_ ? stations_->PreSuffixLength() : 0);
  int station = frame.Found ? frame.Address : -1;
  int kind = -1;
  if (codeMess_) {
    station = codeMess_->first;
    kind = codeMess_->second;
    codeMess_.reset();
  }
  TrafficEvent e = Base(TrafficKind::Sent, d.Head, station);
  e.RequestKind = kind;
  e.Bytes = d.Bytes;
  if (frame.Found) {
    e.Item = ItemText(kind, frame.Body, stations_ ? stations_->ByAddress(station) : nullptr);
  } else {
    e.Item = "no message found in the frame";
  }
  waiting_ = Waiting{station, kind, d.Head.Seconds, d.Bytes};
  Emit(std::move(e));
}

void TrafficReader::Received(const Dump& d) {
  const int station = SenderOf(d.Bytes);
  TrafficEvent e = Base(TrafficKind::Received, d.Head, station);
  e.Bytes = d.Bytes;
  std::string sent;
  if (waiting_ && waiting_->Station == station) {
    e.RequestKind = waiting_->Kind;
    e.AnswerSeconds = d.Head.Seconds - waiting_->Seconds;
    sent = waiting_->Frame;
    waiting_.reset();
  }
  if (stations_) {
    const DecodedAnswer answer = stations_->Decode(d.Bytes, sent, e.RequestKind);
    e.Text = answer.Text;
    e.Values = answer.Values;
  }
  Emit(std::move(e));
}

int TrafficReader::StationOfText(const std::string& cp1250) const {
  if (stations_) {
    if (auto address = stations_->AddressByName(cp1250)) return *address;
  }
  return waiting_ ? waiting_->Station : -1;
}

void TrafficReader::Memo(const LogLine& line) {
  const std::string& t = line.Text;
  if (t.find(text::kEvtAnswerMark) != std::string::npos) return;  // the answer's own line
  auto has = [&](std::string_view fragment) { return t.find(fragment) != std::string::npos; };
  TrafficKind kind = TrafficKind::Event;
  int station = -1;
  if (has(text::kEvtTimeout)) {
    kind = TrafficKind::Timeout;
    station = StationOfText(t);
    waiting_.reset();
  } else if (has(text::kEvtSleepStart)) {
    kind = TrafficKind::SleepStart;
    station = StationOfText(t);
  } else if (t.starts_with(text::kEvtFullSleepEnd)) {
    kind = TrafficKind::AllAsleepEnd;
  } else if (has(text::kEvtSleepEnd)) {
    kind = TrafficKind::SleepEnd;
    if (stations_) station = stations_->AddressByName(t).value_or(-1);
  } else if (stations_) {
    station = stations_->AddressByName(t).value_or(-1);  // texts that begin with the station's name
  }
  TrafficEvent e = Base(kind, line, station);
  e.Text = Cp1250ToUtf8(t);
  Emit(std::move(e));
}

std::map<int, StationTraffic> SummariseTraffic(const std::vector<TrafficEvent>& events) {
  std::map<int, StationTraffic> out;
  for (const TrafficEvent& e : events) {
    StationTraffic& s = out[e.Station];
    if (s.Name.empty()) s.Name = e.Name;
    switch (e.Kind) {
      case TrafficKind::Sent: ++s.Requests; break;
      case TrafficKind::Received:
        ++s.Answers;
        if (!e.AnswerSeconds) {
          ++s.Reports;
          break;
        }
        s.AnswerMin = s.Timed ? std::min(s.AnswerMin, *e.AnswerSeconds) : *e.AnswerSeconds;
        s.AnswerMax = s.Timed ? std::max(s.AnswerMax, *e.AnswerSeconds) : *e.AnswerSeconds;
        s.AnswerSum += *e.AnswerSeconds;
        ++s.Timed;
        break;
      case TrafficKind::Timeout: ++s.Timeouts; break;
      case TrafficKind::BadCheck: ++s.BadChecks; break;
      case TrafficKind::SleepStart: ++s.Sleeps; break;
      default: break;
    }
  }
  return out;
}

}  // namespace qz::readers
