#include "view.h"

#include <cmath>
#include <cstdio>
#include <sstream>

namespace qzhost {

namespace {

std::string Number(const std::optional<double>& v, int decimals = 2) {
  if (!v || !std::isfinite(*v)) return "null";
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.*f", decimals, *v);
  return buf;
}

std::string JsonList(const std::vector<std::optional<double>>& values) {
  std::string out = "[";
  for (std::size_t i = 0; i < values.size(); ++i) out += (i ? "," : "") + Number(values[i], 3);
  return out + "]";
}

std::string JsonTexts(const std::vector<std::string>& texts) {
  std::string out = "[";
  for (std::size_t i = 0; i < texts.size(); ++i) out += (i ? "," : "") + JsonString(texts[i]);
  return out + "]";
}

std::string Plain(const std::vector<std::optional<double>>& values) {
  std::string out;
  for (const auto& v : values) out += (out.empty() ? "" : " ") + (v ? Number(v) : std::string("?"));
  return out;
}

}  // namespace

std::string JsonString(const std::string& utf8) {
  std::string out = "\"";
  for (unsigned char c : utf8) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\u%04x", c);
          out += buf;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out + "\"";
}

std::string JsonLine(const Reading& r) {
  std::ostringstream o;
  o << "{\"t\":" << Number(r.Seconds, 3) << ",\"stations\":[";
  for (std::size_t i = 0; i < r.Stations.size(); ++i) {
    const StationValues& s = r.Stations[i];
    o << (i ? "," : "") << "{\"n\":" << s.Number << ",\"name\":" << JsonString(s.Name)
      << ",\"address\":" << s.Address << ",\"status\":{";
    bool first = true;
    for (const auto& [name, value] : s.Status) {
      o << (first ? "" : ",") << JsonString(name) << ":" << Number(value, 3);
      first = false;
    }
    o << "},\"bi\":" << JsonString(s.BI) << ",\"bo\":" << JsonString(s.BO) << ",\"ai\":" << JsonList(s.AI)
      << ",\"ct\":" << JsonList(s.CT) << ",\"mi\":" << JsonList(s.MI) << ",\"mo\":" << JsonList(s.MO) << "}";
  }
  o << "],\"window\":{\"caption\":" << JsonString(r.Window.Caption) << ",\"events\":" << JsonTexts(r.Window.Events)
    << ",\"status\":" << JsonTexts(r.Window.Status) << "}}";
  return o.str();
}

std::string Screen(const Reading& r) {
  std::ostringstream o;
  o << "\x1b[H\x1b[2J" << r.Window.Caption << "\n\n";
  for (const StationValues& s : r.Stations) {
    o << "#" << s.Number << " " << s.Name << " (address " << s.Address << ")\n   ";
    for (const auto& [name, value] : s.Status) o << " " << name << "=" << (value ? Number(value, 1) : "?");
    o << "\n";
    if (!s.BI.empty()) o << "    BI " << s.BI << "\n";
    if (!s.BO.empty()) o << "    BO " << s.BO << "\n";
    if (!s.AI.empty()) o << "    AI " << Plain(s.AI) << "\n";
    if (!s.CT.empty()) o << "    CT " << Plain(s.CT) << "\n";
    if (!s.MI.empty()) o << "    MI " << Plain(s.MI) << "\n";
    if (!s.MO.empty()) o << "    MO " << Plain(s.MO) << "\n";
  }
  o << "\nEvents:\n";
  for (const auto& e : r.Window.Events) o << "  " << e << "\n";
  o << "\nStatus:\n";
  for (const auto& s : r.Window.Status) o << "  " << s << "\n";
  o << "\nCommands: w CH VALUE [TYPE] | q CH | hist STATION USER | samples STATION PERIOD | save | reset | show | "
       "hide | quit\n> "
    << std::flush;
  return o.str();
}

}  // namespace qzhost
