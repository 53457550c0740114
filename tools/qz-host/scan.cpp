#include "scan.h"

#include <sstream>

#include "channels.h"
#include "diag/cp1250.h"
#include "host/channel_index.h"

namespace qzhost {

namespace {

std::uint32_t QqReadType(qz::QqType type) { return type == qz::QqType::Longint ? 8 : 10; }

struct LineChannel {
  int Channel;
  std::uint32_t Type;
  const char* Name;
};

constexpr LineChannel kLineChannels[] = {
    {486, 10, "sent"},           {489, 10, "line_silence"},  {490, 10, "pending"},
    {491, 10, "active_kind"},    {492, 10, "full_sleep_timer"}, {493, 10, "received"},
    {494, 10, "active_station"}, {495, 10, "phase"},         {496, 8, "memory_bytes"},
    {497, 10, "pending_writes"}, {498, 10, "accepted"},      {499, 10, "answer_timer"},
    {65399, 10, "cycle_ms"},
};

const double* Known(const std::map<std::string, std::optional<double>>& status, const char* name) {
  const auto it = status.find(name);
  return it != status.end() && it->second ? &*it->second : nullptr;
}

}  // namespace

WindowLines ParseWindowText(const std::string& cp1250Text) {
  WindowLines out;
  std::istringstream in(cp1250Text);
  std::string line;
  while (std::getline(in, line)) {
    const auto tab = line.find('\t');
    if (tab == std::string::npos) continue;
    const std::string key = line.substr(0, tab);
    const std::string text = qz::Cp1250ToUtf8(line.substr(tab + 1));
    if (key == "caption") out.Caption = text;
    else if (key == "visible") out.Visible = text == "1";
    else if (key == "event") out.Events.push_back(text);
    else if (key == "status") out.Status.push_back(text);
  }
  return out;
}

std::optional<double> Scanner::Number(int channel, std::uint32_t type) const {
  const auto v = host_.Input(static_cast<std::uint32_t>(channel), type);
  return v ? ValueNumber(*v) : std::nullopt;
}

char Scanner::Bit(int channel) const {
  const auto v = host_.Input(static_cast<std::uint32_t>(channel), 2);
  if (!v) return '?';
  return v->ValueBytes[0] ? '1' : '0';
}

StationValues Scanner::Station(const StationLayout& s, const ActivityTracker& activity) const {
  StationValues v;
  v.Number = s.Number;
  v.Name = s.Name;
  v.Address = s.Address;
  for (const auto& [name, channel] : s.Status) v.Status[name] = Number(channel, 10);
  for (int i = 0; i < s.BI.Count; ++i) v.BI += Bit(s.BI.Start + i);
  for (int i = 0; i < s.BO.Count; ++i) v.BO += Bit(s.BO.Start + i);
  for (int i = 0; i < s.AI.Count; ++i) v.AI.push_back(Number(s.AI.Start + i, 10));
  for (int i = 0; i < s.CT.Count; ++i) v.CT.push_back(Number(s.CT.Start + i, 10));
  for (int i = 0; i < s.MI.Count; ++i) v.MI.push_back(Number(s.MI.Start + i, 10));
  for (int i = 0; i < s.MO.Count; ++i) v.MO.push_back(Number(s.MO.Start + i, 10));
  for (const QqLayout& q : s.Qq) {
    QqReading r{q, std::nullopt, std::nullopt};
    if (q.Type == qz::QqType::String) r.Text = host_.InputText(static_cast<std::uint32_t>(q.Key));
    else r.Number = Number(q.Key, QqReadType(q.Type));
    v.Qq.push_back(std::move(r));
  }
  for (const BlockLayout& b : s.Blocks) {
    BlockReading r{&b, {}};
    for (const BlockItemLayout& item : b.Items) r.Items.push_back(Number(item.Channel, BlockItemTypeCode(item.Type)));
    v.Blocks.push_back(std::move(r));
  }
  v.State = StationState(activity.Of(s.Name), Known(v.Status, "SleepTime"), Known(v.Status, "ErrCount"));
  return v;
}

LineValues Scanner::Line() const {
  LineValues out;
  for (const LineChannel& c : kLineChannels) {
    // Below 60000 a station item may own the number; the driver answers with it then.
    if (c.Channel < 60000 && layout_.Config &&
        qz::FindStationChannel(*layout_.Config, static_cast<std::uint16_t>(c.Channel)))
      continue;
    out.Values[c.Name] = Number(c.Channel, c.Type);
  }
  return out;
}

Reading Scanner::Scan(const ActivityTracker& activity) const {
  Reading r;
  for (const StationLayout& s : layout_.Stations) r.Stations.push_back(Station(s, activity));
  r.Window = ParseWindowText(host_.WindowText());
  r.Stats = ParseStatistics(r.Window.Status);
  r.Line = Line();
  return r;
}

}  // namespace qzhost
