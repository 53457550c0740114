#include "scan.h"

#include <cstring>
#include <memory>
#include <sstream>

#include "config/driver_state.h"
#include "config/par_file.h"
#include "diag/cp1250.h"

namespace qzhost {

namespace {

constexpr uint8_t kUnwritten = 0xA5;  // a byte the driver never leaves in a record it wrote

// Status channels the harness shows, by name.
const qz::StatusChannel kShownStatus[] = {qz::StatusChannel::MsgCounter, qz::StatusChannel::ErrorNoAnswer,
                                          qz::StatusChannel::ErrorInMess, qz::StatusChannel::SilenceTime,
                                          qz::StatusChannel::SleepTime,  qz::StatusChannel::ErrCount};

HostValue Blank(uint32_t type) {
  HostValue v{};
  v.TypeCode = type;
  std::memset(v.ValueBytes, kUnwritten, sizeof v.ValueBytes);
  return v;
}

bool Written(const HostValue& v, std::size_t bytes) {
  for (std::size_t i = 0; i < bytes; ++i) {
    if (v.ValueBytes[i] != kUnwritten) return true;
  }
  return false;
}

}  // namespace

std::optional<Layout> ReadLayout(const std::string& parFile, std::string& error) {
  auto state = std::make_unique<qz::DriverState>();
  qz::InitDriverState(*state);
  state->ParFileName = parFile;
  qz::ParLoadReport report;
  report.DryRun = true;  // the driver itself logs, not the harness
  if (!qz::LoadParameterFile(*state, nullptr, &report)) {
    error = qz::Cp1250ToUtf8(state->ParseErrorText.view()) + " (line " + std::to_string(report.Line) + ")";
    return std::nullopt;
  }
  Layout layout;
  layout.PortNumber = state->PortNumber;
  layout.Baud = state->Baud;
  for (int n = 1; n <= state->StationCount; ++n) {
    const qz::StationRecord& st = state->Station(n);
    StationLayout s;
    s.Number = n;
    s.Name = qz::Cp1250ToUtf8(st.Name.view());
    s.Address = st.Address;
    s.BI = {st.ChannelBI, st.NumBinarIn};
    s.BO = {st.ChannelBO, st.NumBinarOut};
    s.AI = {st.ChannelAI, st.NumAnalogIn};
    s.CT = {st.ChannelCT, st.NumCounterIn};
    s.MI = {st.ChannelMI, st.NumMemoryIn};
    s.MO = {st.ChannelMO, st.NumMemoryOut};
    for (auto c : kShownStatus) {
      if (st.Status(c) != 0) s.Status.emplace_back(qz::StatusChannelName(c), st.Status(c));
    }
    layout.Stations.push_back(std::move(s));
  }
  return layout;
}

std::optional<double> Scanner::Real(int channel) const {
  HostValue v = Blank(10);
  api_.GetInput(h_, static_cast<uint32_t>(channel), &v);
  if (!Written(v, 8)) return std::nullopt;
  double d = 0;
  std::memcpy(&d, v.ValueBytes, sizeof d);
  return d;
}

char Scanner::Bit(int channel) const {
  HostValue v = Blank(2);
  api_.GetInput(h_, static_cast<uint32_t>(channel), &v);
  if (v.ValueBytes[0] == kUnwritten) return '?';
  return v.ValueBytes[0] ? '1' : '0';
}

WindowLines Scanner::Window() const {
  WindowLines out;
  std::istringstream in(api_.WindowText(h_));
  std::string line;
  while (std::getline(in, line)) {
    const auto tab = line.find('\t');
    if (tab == std::string::npos) continue;
    const std::string key = line.substr(0, tab);
    const std::string text = qz::Cp1250ToUtf8(line.substr(tab + 1));
    if (key == "caption") out.Caption = text;
    else if (key == "event") out.Events.push_back(text);
    else if (key == "status") out.Status.push_back(text);
  }
  return out;
}

Reading Scanner::Scan(double seconds) const {
  Reading r;
  r.Seconds = seconds;
  for (const StationLayout& s : layout_.Stations) {
    StationValues v;
    v.Number = s.Number;
    v.Name = s.Name;
    v.Address = s.Address;
    for (const auto& [name, channel] : s.Status) v.Status[name] = Real(channel);
    for (int i = 0; i < s.BI.Count; ++i) v.BI += Bit(s.BI.Start + i);
    for (int i = 0; i < s.BO.Count; ++i) v.BO += Bit(s.BO.Start + i);
    for (int i = 0; i < s.AI.Count; ++i) v.AI.push_back(Real(s.AI.Start + i));
    for (int i = 0; i < s.CT.Count; ++i) v.CT.push_back(Real(s.CT.Start + i));
    for (int i = 0; i < s.MI.Count; ++i) v.MI.push_back(Real(s.MI.Start + i));
    for (int i = 0; i < s.MO.Count; ++i) v.MO.push_back(Real(s.MO.Start + i));
    r.Stations.push_back(std::move(v));
  }
  r.Window = Window();
  return r;
}

}  // namespace qzhost
