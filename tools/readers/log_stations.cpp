#include "log_stations.h"

#include <cstdio>
#include <functional>
#include <vector>

#include "config/par_file.h"
#include "diag/cp1250.h"
#include "diag/texts.h"
#include "hdb_file.h"
#include "host/answer_handling.h"
#include "host/driver_state.h"
#include "protocol/text_format.h"
#include "request_text.h"

namespace qz::readers {

namespace {

std::string Join(std::string_view name, int count, const std::function<std::string(std::size_t)>& item) {
  std::string out(name);
  out += "=";
  for (int i = 1; i <= count; ++i) out += (i > 1 ? " " : "") + item(static_cast<std::size_t>(i));
  return out;
}

std::string QqValue(const QqVariable& v) {
  switch (v.Type) {
    case QqType::Real: return ValueText(v.FloatValue);
    case QqType::String: return "\"" + Cp1250ToUtf8(v.Text.view()) + "\"";
    default: return std::to_string(v.IntValue);
  }
}

// The values of the areas the event text names, as the station now holds them.
std::string ValuesOf(const StationRecord& s, const std::string& text, std::string_view sentBody, int sentKind) {
  std::vector<std::string> parts;
  auto has = [&](std::string_view fragment) { return text.find(fragment) != std::string::npos; };
  if (has("BI ")) {
    std::string bits = "BI=";  // input 1 first, a blank after every eight
    for (std::size_t i = 1; i <= s.NumBinarIn; ++i) bits += std::string(s.BinarInValue[i] ? "1" : "0") + (i % 8 == 0 && i < s.NumBinarIn ? " " : "");
    parts.push_back(bits);
  }
  if (has("AI ") || has("AImorven")) {
    parts.push_back(Join("AI", s.NumAnalogIn, [&](std::size_t i) { return ValueText(s.AnalogInValue[i]); }));
  }
  if (has("CTC/")) {
    parts.push_back(Join("CT", s.NumCounterIn, [&](std::size_t i) { return ValueText(s.Counters[i].PrevValue); }));
  } else if (has("CTC ")) {
    parts.push_back(Join("CT raw", s.NumCounterIn, [&](std::size_t i) { return ValueText(s.Counters[i].Value); }));
  }
  if (has("MI")) {
    parts.push_back(Join("MI", s.NumMemoryIn, [&](std::size_t i) { return ValueText(s.MemoryIn[i].Value); }));
  }
  if (has("KI ")) parts.push_back(Join("MO", 8, [&](std::size_t i) { return ValueText(s.MemoryOut[i].Value); }));
  if (has("MB(")) {
    for (const MemoryBlock* b = s.MemoryBlocks.get(); b; b = b->Next.get()) {
      if (!has("MB(" + HexWord(b->Addr) + ")")) continue;
      parts.push_back(Join("MB " + HexWord(b->Addr) + "h", static_cast<int>(b->Types.size()),
                           [&](std::size_t i) { return std::to_string(b->Items[i].Value); }));
    }
  }
  if (sentKind == 16 && has("QQ/")) {
    for (const auto& t : QqTriplets(sentBody)) {
      for (const QqVariable* v = s.QqVariables.get(); v; v = v->Next.get()) {
        if (v->Block == t[0] && v->Group == t[1] && t[2] >= v->Item && t[2] < v->Item + v->ItemSpan()) {
          parts.push_back("QQ[" + HexByte(t[0]) + "." + HexByte(t[1]) + "." + HexByte(t[2]) + "]=" + QqValue(*v));
          break;
        }
      }
    }
  }
  std::string out;
  for (const std::string& p : parts) out += (out.empty() ? "" : "; ") + p;
  return out;
}

}  // namespace

LogStations::LogStations(std::unique_ptr<DriverState> state) : state_(std::move(state)) {}
LogStations::~LogStations() = default;

std::unique_ptr<LogStations> LogStations::Load(const std::string& parFile, std::string& error) {
  auto state = std::make_unique<DriverState>();
  InitDriverState(*state);
  state->Config.DriverName = "QZLOG";
  state->Config.ParFileName = parFile;
  ParLoadReport report;
  report.DryRun = true;  // reading a log writes none
  if (!LoadParameterFile(state->Config, state->Log, nullptr, &report)) {
    error = Cp1250ToUtf8(state->Config.ParseErrorText.view()) + " (line " + std::to_string(report.Line) + ")";
    return nullptr;
  }
  ClearStationValues(state->Config);
  return std::unique_ptr<LogStations>(new LogStations(std::move(state)));
}

const StationRecord* LogStations::ByAddress(int address) const {
  for (int n = 1; n <= state_->Config.StationCount; ++n) {
    if (state_->Config.Station(n).Address == address) return &state_->Config.Station(n);
  }
  return nullptr;
}

std::string LogStations::NameOf(int address) const {
  const StationRecord* s = ByAddress(address);
  return s ? Cp1250ToUtf8(s->Name.view()) : std::string();
}

std::optional<int> LogStations::AddressByName(std::string_view text) const {
  const StationRecord* best = nullptr;
  for (int n = 1; n <= state_->Config.StationCount; ++n) {
    const StationRecord& s = state_->Config.Station(n);
    if (!s.Name.empty() && text.starts_with(s.Name.view()) && (!best || s.Name.size() > best->Name.size())) best = &s;
  }
  if (!best) return std::nullopt;
  return best->Address;
}

int LogStations::PrefixLength() const { return static_cast<int>(state_->Config.Prefix.size()); }
std::size_t LogStations::PreSuffixLength() const { return state_->Config.PreSuffix.size(); }

DecodedAnswer LogStations::Decode(std::string_view received, std::string_view sent, int sentKind) {
  DriverState& s = *state_;
  // Sample answers count only for the period they were asked with.
  if (sentKind == 72 || sentKind == 136) s.Samples.HistoryPeriod = 1;
  if (sentKind == 76 || sentKind == 140) s.Samples.HistoryPeriod = 2;
  if (sentKind == 80 || sentKind == 144) s.Samples.HistoryPeriod = 3;
  s.Engine.PendingEventText = "";
  DecodedAnswer out;
  out.Known = DecodeAnswer(s, received, sent) == 1;
  if (!out.Known) return out;
  std::string text = s.Engine.PendingEventText.str();
  const std::size_t mark = text.find(text::kEvtAnswerMark);
  if (mark != std::string::npos) text.erase(0, mark + text::kEvtAnswerMark.size());
  const std::size_t nameEnd = text.find(text::kEvtAnswerNameEnd);
  if (nameEnd != std::string::npos) text.erase(0, nameEnd + text::kEvtAnswerNameEnd.size());
  const std::string fragments = text + " ";  // each fragment ends in a blank, the last one too
  while (!text.empty() && text.back() == ' ') text.pop_back();
  out.Text = Cp1250ToUtf8(text);
  const int address = static_cast<std::uint8_t>(received.size() > 2 && (received[2] == 'Y' || received[2] == 'y')
                                                    ? received[5] : received[0]);
  if (const StationRecord* station = ByAddress(address)) {
    const SentFrame frame = SplitSentFrame(sent, PrefixLength(), PreSuffixLength());
    out.Values = ValuesOf(*station, fragments, frame.Body, sentKind);
  }
  return out;
}

}  // namespace qz::readers
