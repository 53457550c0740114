#include "responder.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <sstream>

#include "protocol/codecs.h"

namespace qz::sim {

namespace {

// Requests that change a station: b (binary outputs), n (memory), k (memory
// outputs), QQ (QQ variables).
bool IsWrite(std::string_view body) {
  if (body.empty()) return false;
  return body[0] == 'b' || body[0] == 'n' || body[0] == 'k' || body.starts_with("QQ");
}

constexpr std::array<const char*, 7> kFaultNames = {"silence", "badcheck", "garbage", "truncate",
                                                    "foreign", "late", "error"};
// Line noise that holds no Prefix byte of the usual framings.
constexpr std::array<char, 4> kGarbage = {'\x55', '\xAA', '\xFF', '\x00'};

}  // namespace

const char* FaultName(FaultKind kind) { return kFaultNames[static_cast<std::size_t>(kind)]; }

std::optional<FaultKind> FaultByName(std::string_view name) {
  for (std::size_t i = 0; i < kFaultNames.size(); ++i) {
    if (name == kFaultNames[i]) return static_cast<FaultKind>(i);
  }
  return std::nullopt;
}

Responder::Responder(SimSetup setup, ResponderOptions options)
    : setup_(std::move(setup)),
      options_(options),
      receiver_(
          setup_.Line.Prefix, [this](std::string_view m) { OnMessage(m); },
          [this](FrameReceiver::Drop why, std::string_view b) { OnDropped(why, b); }) {
  for (const StationSetup& s : setup_.Stations) {
    if (stations_.count(s.Address)) continue;  // the driver finds the first one too
    PerStation entry;
    entry.Sim = std::make_unique<Station>(s);
    stations_.emplace(s.Address, std::move(entry));
  }
}

Responder::PerStation* Responder::FindEntry(std::uint8_t address) {
  auto it = stations_.find(address);
  return it == stations_.end() ? nullptr : &it->second;
}

Station* Responder::Find(std::uint8_t address) {
  PerStation* e = FindEntry(address);
  return e ? e->Sim.get() : nullptr;
}

const Station* Responder::Find(std::uint8_t address) const {
  auto it = stations_.find(address);
  return it == stations_.end() ? nullptr : it->second.Sim.get();
}

std::vector<std::uint8_t> Responder::Addresses() const {
  std::vector<std::uint8_t> out;
  for (const auto& [a, e] : stations_) out.push_back(a);
  return out;
}

const StationStats& Responder::Stats(std::uint8_t station) const {
  static const StationStats kNone;
  auto it = stations_.find(station);
  return it == stations_.end() ? kNone : it->second.Stats;
}

const std::vector<Fault>& Responder::Faults(std::uint8_t station) const {
  static const std::vector<Fault> kNone;
  auto it = stations_.find(station);
  return it == stations_.end() ? kNone : it->second.Faults;
}

void Responder::Note(std::string_view text, std::string_view bytes) {
  if (transcript_) transcript_({now_, "--", std::string(bytes), std::string(text)});
}

// ---------------------------------------------------------------------------
// Receiving.

std::vector<Outgoing> Responder::Receive(std::string_view bytes, std::int64_t nowMs) {
  now_ = nowMs;
  if (!bytes.empty()) lastByteMs_ = nowMs;
  pending_.clear();
  receiver_.Feed(bytes);
  return std::move(pending_);
}

void Responder::OnDropped(FrameReceiver::Drop why, std::string_view bytes) {
  if (why == FrameReceiver::Drop::BadCheck) {
    ++line_.BadCheck;
    Note("frame with a wrong check byte skipped", bytes);
  } else {
    ++line_.Stale;
    Note("partial frame abandoned after a pause", bytes);
  }
}

void Responder::OnMessage(std::string_view message) {
  ++line_.Frames;
  if (transcript_) transcript_({now_, "RX", std::string(message), {}});
  ParsedMessage m;
  if (!ParseMessage(message, setup_.Line.PreSuffix.size(), m)) {
    ++line_.Malformed;
    Note("message too short for its header, skipped");
    return;
  }
  // An acknowledgement of a report we sent?
  for (auto& [address, s] : stations_) {
    if (!s.AwaitedAck.empty() && s.AwaitedAck == message) {
      ++s.Stats.AcksOk;
      s.AwaitedAck.clear();
      Note("acknowledgement of station " + std::to_string(address) + " correct");
      return;
    }
  }
  if (m.Kind == HeaderKind::Ack) {
    PerStation* s = FindEntry(m.Addressee);
    if (s && !s->AwaitedAck.empty()) {
      ++s->Stats.AcksBad;
      Note("acknowledgement of station " + std::to_string(m.Addressee) + " differs; expected:", s->AwaitedAck);
      s->AwaitedAck.clear();
    } else {
      ++line_.Unexpected;
      Note("acknowledgement that no report asked for");
    }
    return;
  }
  if (m.Kind == HeaderKind::Other) {
    ++line_.Malformed;
    Note("message of unknown kind skipped");
    return;
  }
  if (m.Kind == HeaderKind::Direct && m.Source != setup_.Line.MasterAddress) {
    ++line_.NotOurs;
    Note("request from master " + std::to_string(m.Source) + ", not ours");
    return;
  }
  PerStation* s = FindEntry(m.Addressee);
  if (!s) {
    ++line_.NotOurs;
    Note("request for station " + std::to_string(m.Addressee) + ", not simulated");
    return;
  }
  if (!s->AwaitedAck.empty()) {
    ++s->Stats.AcksMissing;
    s->AwaitedAck.clear();
    Note("station " + std::to_string(m.Addressee) + ": next request came instead of an acknowledgement");
  }
  ++s->Stats.Requests;
  if (TakeFault(*s, FaultKind::Silence, nullptr)) {
    ++s->Stats.Silenced;
    Note("station " + std::to_string(m.Addressee) + " stays silent (fault)");
    return;
  }
  int code = 0;
  const bool injected = TakeFault(*s, FaultKind::Error, &code);
  std::string body = injected ? std::string{'E', static_cast<char>(code < 0 ? 7 : code)}
                              : s->Sim->Answer(m.Body, WallNow(now_));
  if (!injected && IsWrite(m.Body) && !(body.size() >= 1 && body[0] == 'E')) ++s->Stats.Writes;
  bool report = false;
  if (s->PiggyReport != 0) {
    body.insert(body.begin(), s->PiggyReport);
    s->PiggyReport = 0;
    report = true;
  }
  Answer(*s, std::move(body), report, injected);
}

bool Responder::TakeFault(PerStation& s, FaultKind kind, int* arg) {
  auto it = std::find_if(s.Faults.begin(), s.Faults.end(), [kind](const Fault& f) { return f.Kind == kind; });
  if (it == s.Faults.end()) return false;
  if (arg) *arg = it->Arg;
  if (it->Remaining > 0 && --it->Remaining == 0) s.Faults.erase(it);
  return true;
}

void Responder::Answer(PerStation& s, std::string body, bool report, bool faulted) {
  const std::uint8_t address = s.Sim->Address();
  const std::uint8_t master = setup_.Line.MasterAddress;
  std::string note = "station " + std::to_string(address);
  if (!body.empty() && body[0] == 'E') ++s.Stats.ErrorAnswers;
  if (faulted) note += ", error answer (fault)";
  int arg = 0;
  std::string header;
  if (TakeFault(s, FaultKind::Foreign, &arg)) {
    const auto other = static_cast<std::uint8_t>(arg >= 0 ? arg : master + 1);
    header = YHeader(other, s.Sim->Setup().Retranslation, other, address);
    note += ", to another master";
    faulted = true;
  } else if (s.Sim->Header == AnswerHeader::Short) {
    header = ShortHeader(address);
  } else {
    header = YHeader(master, s.Sim->Setup().Retranslation, master, address);
  }
  std::string message = BuildMessage(std::move(header), body, setup_.Line.PreSuffix);
  if (report) {
    ++s.Stats.Reports;
    s.AwaitedAck = ExpectedAck(message);
    note += ", report " + std::string(1, body[0]);
  }
  if (TakeFault(s, FaultKind::BadCheck, nullptr)) {
    message.back() = static_cast<char>(message.back() ^ 0x5A);
    note += ", wrong check byte";
    faulted = true;
  }
  std::string frame = Frame(setup_.Line, message);
  if (TakeFault(s, FaultKind::Truncate, &arg)) {
    const std::size_t keep = arg >= 0 ? static_cast<std::size_t>(arg) : message.size() / 2;
    frame.resize(std::min(frame.size(), setup_.Line.Prefix.size() + keep));
    note += ", truncated";
    faulted = true;
  }
  if (TakeFault(s, FaultKind::Garbage, &arg)) {
    const int n = arg >= 0 ? arg : 4;
    std::string noise;
    for (int i = 0; i < n; ++i) noise.push_back(kGarbage[static_cast<std::size_t>(i) % kGarbage.size()]);
    frame.insert(0, noise);
    note += ", garbage before the frame";
    faulted = true;
  }
  std::int64_t due = now_ + options_.TurnaroundMs;
  if (TakeFault(s, FaultKind::Late, &arg)) {
    due += arg >= 0 ? arg : setup_.AnswerTimeMs + 500;
    note += ", late";
    faulted = true;
  }
  ++s.Stats.Answers;
  if (faulted) ++s.Stats.Faulted;
  if (report) {
    const std::int64_t frameMs = static_cast<std::int64_t>(frame.size()) * setup_.BitsPerChar * 1000 /
                                 std::max(setup_.Baud, 1);
    s.AckDeadline = due + frameMs + options_.AckTimeoutMs;
  }
  pending_.push_back({std::move(frame), due, address, std::move(note)});
}

// ---------------------------------------------------------------------------
// Time.

std::string Responder::UnsolicitedBody(PerStation& s, char code) {
  std::string body(1, code);
  const int bi = s.Sim->Setup().NumBinarIn;
  if (code == 'H' && bi > 0) {
    // An active report carries the binary inputs it is about.
    const std::uint8_t mask = bi > 64 ? 0 : ByteMask(std::max(bi / 8, 1));
    body += s.Sim->Answer(std::string{'B', static_cast<char>(mask)}, WallNow(now_));
  }
  return body;
}

void Responder::CheckAckTimeouts(std::int64_t nowMs) {
  for (auto& [address, s] : stations_) {
    if (!s.AwaitedAck.empty() && nowMs > s.AckDeadline) {
      ++s.Stats.AcksMissing;
      s.AwaitedAck.clear();
      Note("station " + std::to_string(address) + ": no acknowledgement of its report");
    }
  }
}

std::vector<Outgoing> Responder::Tick(std::int64_t nowMs) {
  now_ = nowMs;
  pending_.clear();
  if (receiver_.InFrame() && nowMs - lastByteMs_ > options_.StaleFrameMs) receiver_.Reset();
  CheckAckTimeouts(nowMs);
  for (const Dynamic& d : dynamics_) {
    auto v = ValueAt(d, nowMs);
    Station* s = Find(d.Station);
    std::string error;
    if (v && s && s->Get(d.Item) != v) s->Set(d.Item, *v, error);
  }
  for (auto& [address, s] : stations_) {
    if (s.HistoryEveryMs > 0 && nowMs >= s.HistoryNextMs) {
      ItemRef ai1;
      ai1.Where = ItemRef::Area::AI;
      const double value = s.Sim->Setup().NumAnalogIn > 0 ? s.Sim->Get(ai1).value_or(0) : 0;
      s.Sim->AddHistoryRecord(s.HistoryCode, WallNow(nowMs), static_cast<float>(value));
      s.HistoryNextMs += s.HistoryEveryMs;
      if (s.HistoryNextMs <= nowMs) s.HistoryNextMs = nowMs + s.HistoryEveryMs;
    }
    if (s.NowReport != 0 && s.AwaitedAck.empty()) {
      const char code = s.NowReport;
      s.NowReport = 0;
      Answer(s, UnsolicitedBody(s, code), true, false);
      pending_.back().DueMs = nowMs;
    }
  }
  return std::move(pending_);
}

// ---------------------------------------------------------------------------
// Control.

void Responder::AddFault(std::uint8_t station, const Fault& fault) {
  PerStation* s = FindEntry(station);
  if (!s) return;
  auto it = std::find_if(s->Faults.begin(), s->Faults.end(), [&](const Fault& f) { return f.Kind == fault.Kind; });
  if (it != s->Faults.end()) *it = fault;
  else s->Faults.push_back(fault);
}

void Responder::ClearFaults(std::uint8_t station, std::optional<FaultKind> kind) {
  PerStation* s = FindEntry(station);
  if (!s) return;
  std::erase_if(s->Faults, [&](const Fault& f) { return !kind || f.Kind == *kind; });
}

void Responder::QueueReport(std::uint8_t station, char code, bool now) {
  PerStation* s = FindEntry(station);
  if (!s) return;
  (now ? s->NowReport : s->PiggyReport) = code;
}

void Responder::AddDynamic(Dynamic d) {
  // The change holds from the moment it is set up.
  Station* s = Find(d.Station);
  std::string error;
  if (auto v = ValueAt(d, d.StartMs); v && s) s->Set(d.Item, *v, error);
  dynamics_.push_back(std::move(d));
}

void Responder::RemoveDynamics(std::uint8_t station) {
  std::erase_if(dynamics_, [station](const Dynamic& d) { return d.Station == station; });
}

void Responder::SetHistoryEvery(std::uint8_t station, std::int64_t intervalMs, std::uint16_t code, std::int64_t nowMs) {
  PerStation* s = FindEntry(station);
  if (!s) return;
  s->HistoryEveryMs = std::max<std::int64_t>(intervalMs, 0);
  s->HistoryNextMs = nowMs + s->HistoryEveryMs;
  s->HistoryCode = code;
}

std::string Responder::Summary() const {
  std::ostringstream o;
  for (const auto& [address, e] : stations_) {
    const StationStats& s = e.Stats;
    o << "station " << int(address) << " (" << e.Sim->Setup().Name << "): " << s.Requests << " requests, "
      << s.Answers << " answers, " << s.Silenced << " silent, " << s.Faulted << " faulted, " << s.ErrorAnswers
      << " error answers, " << s.Reports << " reports (" << s.AcksOk << " acknowledged, " << s.AcksBad << " wrong, "
      << s.AcksMissing << " missing), " << s.Writes << " writes applied\n";
  }
  o << "line: " << line_.Frames << " frames, " << line_.BadCheck << " bad check, " << line_.Stale << " abandoned, "
    << line_.Malformed << " malformed, " << line_.NotOurs << " not ours, " << line_.Unexpected
    << " unexpected acknowledgements, " << receiver_.SkippedBytes() << " bytes skipped\n";
  return o.str();
}

}  // namespace qz::sim
