#include "view.h"

#include <cmath>
#include <cstdio>
#include <ctime>
#include <nlohmann/json.hpp>
#include <sstream>

namespace qzhost {

namespace {

using Json = nlohmann::ordered_json;

// Seconds to the millisecond: the stamps are no finer than that.
Json Seconds(double s) { return std::round(s * 1000.0) / 1000.0; }

Json Num(const std::optional<double>& v) { return v && std::isfinite(*v) ? Json(*v) : Json(nullptr); }

Json NumList(const std::vector<std::optional<double>>& values) {
  Json out = Json::array();
  for (const auto& v : values) out.push_back(Num(v));
  return out;
}

std::string Fixed(const std::optional<double>& v, int decimals) {
  if (!v || !std::isfinite(*v)) return "?";
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.*f", decimals, *v);
  return buf;
}

std::string Plain(const std::vector<std::optional<double>>& values) {
  std::string out;
  for (const auto& v : values) {
    if (!out.empty()) out += ' ';
    out += Fixed(v, 2);
  }
  return out;
}

// Groups of eight bits, as the stations number their inputs.
std::string Bits(const std::string& bits) {
  std::string out;
  for (std::size_t i = 0; i < bits.size(); ++i) {
    if (i && i % 8 == 0) out += ' ';
    out += bits[i];
  }
  return out;
}

std::string Trimmed(const std::string& text) {
  const auto first = text.find_first_not_of(' ');
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

Json StatisticsJson(const Statistics& s) {
  return Json{{"cycle_ms", Num(s.CycleMs)},         {"max_cycle_ms", Num(s.MaxCycleMs)},
              {"average_cycle_ms", Num(s.AverageCycleMs)}, {"pending_reads", Num(s.PendingReads)},
              {"pending_writes", Num(s.PendingWrites)}, {"sent", Num(s.Sent)},
              {"received", Num(s.Received)},        {"errors", Num(s.Errors)},
              {"memory_kb", Num(s.MemoryKb)}};
}

Json StationJson(const StationValues& s) {
  Json status = Json::object();
  for (const auto& [name, value] : s.Status) status[name] = Num(value);
  Json qq = Json::array();
  for (const QqReading& q : s.Qq) {
    qq.push_back({{"channel", q.Var.Key},
                  {"address", QqAddressText(q.Var)},
                  {"type", QqTypeName(q.Var.Type)},
                  {"direction", QqDirectionName(q.Var.Direction)},
                  {"value", q.Var.Type == qz::QqType::String ? (q.Text ? Json(*q.Text) : Json(nullptr)) : Num(q.Number)}});
  }
  Json blocks = Json::array();
  for (const BlockReading& b : s.Blocks) {
    Json items = Json::array();
    for (std::size_t i = 0; i < b.Items.size(); ++i) {
      const BlockItemLayout& item = b.Block->Items[i];
      items.push_back({{"channel", item.Channel},
                       {"type", BlockItemTypeName(item.Type)},
                       {"direction", BlockDirectionName(item.Direction)},
                       {"value", Num(b.Items[i])}});
    }
    blocks.push_back({{"address", b.Block->Address}, {"read_channel", b.Block->ChannelRead}, {"items", items}});
  }
  return Json{{"n", s.Number},          {"name", s.Name},   {"address", s.Address},
              {"state", LinkStateName(s.State)}, {"status", status}, {"bi", s.BI},
              {"bo", s.BO},             {"ai", NumList(s.AI)}, {"ct", NumList(s.CT)},
              {"mi", NumList(s.MI)},    {"mo", NumList(s.MO)}, {"qq", qq},
              {"blocks", blocks}};
}


std::string Line(const Json& j) { return j.dump(-1, ' ', false, Json::error_handler_t::replace); }

void StationScreen(std::ostringstream& o, const StationValues& s) {
  o << "#" << s.Number << " " << s.Name << " (address " << s.Address << ")  " << LinkStateName(s.State);
  for (const auto& [name, value] : s.Status) o << "  " << name << "=" << Fixed(value, name == "SilenceTime" ? 2 : 0);
  o << "\n";
  if (!s.BI.empty()) o << "    BI " << Bits(s.BI) << "\n";
  if (!s.BO.empty()) o << "    BO " << Bits(s.BO) << "\n";
  if (!s.AI.empty()) o << "    AI " << Plain(s.AI) << "\n";
  if (!s.CT.empty()) o << "    CT " << Plain(s.CT) << "\n";
  if (!s.MI.empty()) o << "    MI " << Plain(s.MI) << "\n";
  if (!s.MO.empty()) o << "    MO " << Plain(s.MO) << "\n";
  for (const QqReading& q : s.Qq) {
    o << "    QQ " << q.Var.Key << " [" << QqAddressText(q.Var) << "] " << QqTypeName(q.Var.Type) << " "
      << QqDirectionName(q.Var.Direction) << " = ";
    if (q.Var.Type != qz::QqType::String) o << Fixed(q.Number, q.Var.Type == qz::QqType::Real ? 2 : 0);
    else if (q.Text) o << '"' << Trimmed(*q.Text) << '"';
    else o << '?';
    o << "\n";
  }
  for (const BlockReading& b : s.Blocks) {
    o << "    MB read " << b.Block->ChannelRead << ":";
    for (std::size_t i = 0; i < b.Items.size(); ++i) {
      const BlockItemLayout& item = b.Block->Items[i];
      o << "  " << item.Channel << " " << BlockItemTypeName(item.Type) << "="
        << Fixed(b.Items[i], item.Type == qz::BlockItemType::Real ? 2 : 0);
    }
    o << "\n";
  }
}

std::tm LocalTime(double unixSeconds) {
  const auto t = static_cast<std::time_t>(std::floor(unixSeconds));
  std::tm tm{};
#ifdef _WIN32
  localtime_s(&tm, &t);
#else
  localtime_r(&t, &tm);
#endif
  return tm;
}

int Millis(double unixSeconds) {
  return std::min(999, static_cast<int>((unixSeconds - std::floor(unixSeconds)) * 1000.0));
}

}  // namespace

std::string ClockText(double unixSeconds) {
  const std::tm tm = LocalTime(unixSeconds);
  char buf[32];
  std::snprintf(buf, sizeof buf, "%02d:%02d:%02d.%03d", tm.tm_hour, tm.tm_min, tm.tm_sec, Millis(unixSeconds));
  return buf;
}

std::string IsoText(double unixSeconds) {
  const std::tm tm = LocalTime(unixSeconds);
  char buf[48];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d.%03d", tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday,
                tm.tm_hour, tm.tm_min, tm.tm_sec, Millis(unixSeconds));
  return buf;
}

std::string FilesText(const FileLocations& f) {
  return "HDB files: " + f.HdbFolder + "   log: " + (f.Log.empty() ? std::string("off (no $DIAGS)") : f.Log) +
         "   .CUC files: " + f.SampleFolder;
}

std::string JsonLine(const Reading& r) {
  Json stations = Json::array();
  for (const StationValues& s : r.Stations) stations.push_back(StationJson(s));
  Json line = Json::object();
  for (const auto& [name, value] : r.Line.Values) line[name] = Num(value);
  Json events = Json::array();
  for (const StampedEvent& e : r.NewEvents) events.push_back({{"t", Seconds(e.Seconds)}, {"time", e.Iso}, {"text", e.Text}});
  const Json j{{"t", Seconds(r.Seconds)},
               {"time", r.Iso},
               {"stations", stations},
               {"statistics", StatisticsJson(r.Stats)},
               {"line", line},
               {"window", {{"caption", r.Window.Caption}, {"visible", r.Window.Visible}, {"status", r.Window.Status}}},
               {"events", events}};
  return Line(j);
}

std::string JsonCommand(double seconds, const std::string& iso, const std::string& line, const CommandResult& result) {
  return Line(Json{{"t", Seconds(seconds)}, {"time", iso}, {"command", line}, {"ok", result.Ok}, {"result", result.Message}});
}

std::string JsonFiles(double seconds, const std::string& iso, const std::string& phase, const FileLocations& f) {
  return Line(Json{{"t", Seconds(seconds)},
                   {"time", iso},
                   {phase, true},
                   {"files", {{"hdb", f.HdbFolder}, {"log", f.Log.empty() ? Json(nullptr) : Json(f.Log)},
                              {"cuc", f.SampleFolder}}}});
}

std::string Screen(const Reading& r, const ScreenContext& c) {
  std::ostringstream o;
  o << r.Window.Caption << "    " << r.Iso.substr(0, 10) << " " << r.Iso.substr(11, 8) << "    running "
    << Fixed(r.Seconds, 0) << " s\n";
  if (c.Files) o << FilesText(*c.Files) << "\n";
  const Statistics& s = r.Stats;
  o << "Line: sent " << Fixed(s.Sent, 0) << ", received " << Fixed(s.Received, 0) << ", errors " << Fixed(s.Errors, 0)
    << " | pending read " << Fixed(s.PendingReads, 0) << ", write " << Fixed(s.PendingWrites, 0) << " | cycle "
    << Fixed(s.CycleMs, 1) << " ms (max " << Fixed(s.MaxCycleMs, 1) << ", average " << Fixed(s.AverageCycleMs, 1)
    << ") | memory " << Fixed(s.MemoryKb, 0) << " kB\n\n";
  for (const StationValues& st : r.Stations) StationScreen(o, st);
  o << "\nEvents:\n";
  if (c.RecentEvents) {
    for (const StampedEvent& e : *c.RecentEvents) o << "  " << e.Clock << "  " << Trimmed(e.Text) << "\n";
  }
  o << "\nStatus:\n";
  for (const auto& line : r.Window.Status) o << "  " << line << "\n";
  o << "\n";
  if (!c.Note.empty()) o << c.Note << "\n";
  o << "Commands: " << kCommandSummary << "\n";
  // Each line ends by clearing the rest of it, so the redraw needs no blank screen.
  std::string text = o.str();
  std::string out = "\x1b[H";
  std::size_t pos = 0;
  for (std::size_t nl; (nl = text.find('\n', pos)) != std::string::npos; pos = nl + 1)
    out += text.substr(pos, nl - pos) + "\x1b[K\n";
  return out + "\x1b[J";
}

}  // namespace qzhost
