#include "summary.h"

#include <cstdio>
#include <sstream>

#include <nlohmann/json.hpp>

#include "config/par_stations.h"
#include "diag/cp1250.h"
#include "diag/texts.h"

namespace qz::tool {

namespace {

constexpr const char* kQqDirections[] = {"?", "READ", "WRITE", "BIDIR"};
constexpr const char* kQqTypes[] = {"?", "BYTE", "WORD", "INTEGER", "CARDINAL", "LONGINT", "REAL", "STRING"};
constexpr const char* kBlockTypes[] = {"?", "BYTE", "WORD", "INTEGER", "CARDINAL", "LONGINT", "REAL"};
constexpr const char* kBlockDirections[] = {"?", "INPUT", "OUTPUT", "BIDIR"};

template <std::size_t N>
const char* NameOf(const char* const (&names)[N], int code) {
  return code >= 0 && static_cast<std::size_t>(code) < N ? names[code] : "?";
}

std::string Utf8(std::string_view cp1250) { return Cp1250ToUtf8(cp1250); }

std::string Number(double v) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.10g", v);
  return buf;
}

char ParityLetter(int parity) {
  return parity >= 0 && static_cast<std::size_t>(parity) < text::kParityLetters.size()
             ? text::kParityLetters[static_cast<std::size_t>(parity)]
             : '?';
}

std::string Range(int first, int count) {
  if (first == 0 || count == 0) return "-";
  const int last = std::min(first + count - 1, 65535);
  return count == 1 ? std::to_string(first) : std::to_string(first) + "-" + std::to_string(last);
}

struct Area {
  const char* Name;
  std::uint16_t First;
  int Count;
};

std::vector<Area> AreasOf(const StationRecord& st) {
  return {{"BI", st.ChannelBI, st.NumBinarIn},    {"BO", st.ChannelBO, st.NumBinarOut},
          {"AI", st.ChannelAI, st.NumAnalogIn},   {"CT", st.ChannelCT, st.NumCounterIn},
          {"MI", st.ChannelMI, st.NumMemoryIn},   {"MO", st.ChannelMO, st.NumMemoryOut}};
}

using Json = nlohmann::ordered_json;

Json JsonStation(int n, const StationRecord& st) {
  Json j;
  j["number"] = n;
  j["address"] = st.Address;
  j["retranslation"] = st.Retranslation;
  j["name"] = Utf8(st.Name.view());
  Json counts = Json::object(), channels = Json::object(), status = Json::object();
  for (const Area& a : AreasOf(st)) {
    counts[a.Name] = a.Count;
    channels[a.Name] = Range(a.First, a.Count);
  }
  for (int c = 1; c <= kStatusChannelCount; ++c) {
    const auto sc = static_cast<StatusChannel>(c);
    if (st.Status(sc) != 0) status[StatusChannelName(sc)] = st.Status(sc);
  }
  j["counts"] = counts;
  j["phone"] = Utf8(st.Phone.view());
  j["dial"] = st.PhoneDial != 0;
  j["channels"] = channels;
  j["status_channels"] = status;
  Json in = Json::array(), out = Json::array();
  for (std::size_t i = 1; i <= kMaxBinarIn; ++i) if (st.BinarInXor[i]) in.push_back(i);
  for (std::size_t i = 1; i <= kMaxBinarOut; ++i) if (st.BinarOutXor[i]) out.push_back(i);
  j["binary_in_inverted"] = in;
  j["binary_out_inverted"] = out;
  j["memory_in_block_read"] = st.MemoryInArray != 0;
  Json qq = Json::array();
  for (const QqVariable* v = st.QqVariables.get(); v; v = v->Next.get()) {
    qq.push_back({{"key", v->Key}, {"direction", NameOf(kQqDirections, static_cast<int>(v->Direction))},
                  {"block", v->Block}, {"group", v->Group}, {"item", v->Item},
                  {"type", NameOf(kQqTypes, static_cast<int>(v->Type))}});
  }
  j["qq"] = qq;
  Json blocks = Json::array();
  for (const MemoryBlock* b = st.MemoryBlocks.get(); b; b = b->Next.get()) {
    Json items = Json::array();
    for (std::size_t i = 0; i < b->Types.size(); ++i) {
      items.push_back({{"type", NameOf(kBlockTypes, b->Types.byte(i))},
                       {"direction", NameOf(kBlockDirections, b->Directions.byte(i))}});
    }
    blocks.push_back({{"addr", b->Addr}, {"channel", b->Channel}, {"channel_read", b->ChannelRead},
                      {"bytes", b->ByteCount}, {"items", items}});
  }
  j["memory_blocks"] = blocks;
  return j;
}

Json JsonWarnings(const std::vector<Finding>& warnings) {
  Json out = Json::array();
  for (const Finding& w : warnings) {
    Json f;
    if (w.Line > 0) f["line"] = w.Line;
    f["kind"] = w.Kind;
    f["text"] = w.Text;
    out.push_back(f);
  }
  return out;
}

std::string WarningLine(const Finding& w) {
  return (w.Line > 0 ? "line " + std::to_string(w.Line) + ": " : std::string()) + w.Text;
}

}  // namespace

std::string HexBytes(std::string_view bytes) {
  std::string out;
  char buf[4];
  for (char c : bytes) {
    std::snprintf(buf, sizeof buf, "%s%02X", out.empty() ? "" : " ", static_cast<unsigned char>(c));
    out += buf;
  }
  return out;
}

std::string TextSummary(const CheckOutcome& r) {
  const DriverConfig& s = r.State->Config;
  const qz::Log& log = r.State->Log;
  std::ostringstream o;
  o << r.File << ": OK, " << int{s.StationCount} << " station(s)\n";
  o << "[COM]     COM" << s.PortNumber << " (" << (s.PortDriverName.empty() ? "SYSTEM" : s.PortDriverName.str())
    << "), " << s.Baud << " Bd, " << s.DataBits << ' ' << ParityLetter(s.Parity) << ' ' << s.StopBits
    << ", options " << s.ComOptions << ", buffer " << s.BufferSize << ", IRQ " << s.Irq << ", base $" << std::hex << std::uppercase << s.BaseAddr << std::dec
    << '\n';
  o << "[GLOBAL]  address " << int{s.MasterAddress} << ", prefix [" << HexBytes(s.Prefix.view()) << "], suffix ["
    << HexBytes(s.Suffix.view()) << "], presuffix [" << HexBytes(s.PreSuffix.view()) << "]\n";
  o << "          answer time " << Number(s.AnswerTime) << " s, silence wait " << s.SilenceWait << " ms, RTS on "
    << s.RtsTimeOn << " ms, RTS off " << s.RtsTimeOff << " ms, analog inputs at " << s.DefAnalogInAddr << '\n';
  o << "          failed exchanges " << int{s.NumMorvenError} << ", sleep " << Number(s.SleepTime) << " s after "
    << s.SleepCount << " time-outs, idle " << s.IdleTime << " ms, self reading " << (s.SelfReading ? "on" : "off")
    << ", stay in queue " << (s.StayInQueueOnTimeout ? "on" : "off") << ", beep " << (s.Beep ? "on" : "off")
    << '\n';
  o << "          CUC path " << Utf8(s.CucPath.view()) << ", log " << (r.Report.DiagsSeen ? "on ($DIAGS)" : "off")
    << (log.FileName().empty() ? std::string() : ", log file " + Utf8(log.FileName())) << '\n';
  for (int n = 1; n <= s.StationCount; ++n) {
    const StationRecord& st = s.Station(n);
    o << "Station " << n << ": address " << int{st.Address} << ", \"" << Utf8(st.Name.view()) << "\", retranslation "
      << int{st.Retranslation};
    if (!st.Phone.empty()) o << ", phone " << (st.PhoneDial ? "D " : "") << Utf8(st.Phone.view());
    o << "\n  counts:   ";
    for (const Area& a : AreasOf(st)) o << a.Name << ' ' << a.Count << "  ";
    o << "\n  channels: ";
    for (const Area& a : AreasOf(st)) o << a.Name << ' ' << Range(a.First, a.Count) << "  ";
    o << "\n  status:  ";
    for (int c = 1; c <= kStatusChannelCount; ++c) {
      const auto sc = static_cast<StatusChannel>(c);
      if (st.Status(sc) != 0) o << ' ' << StatusChannelName(sc) << ' ' << st.Status(sc);
    }
    o << '\n';
    for (const QqVariable* v = st.QqVariables.get(); v; v = v->Next.get()) {
      o << "  QQ " << NameOf(kQqDirections, static_cast<int>(v->Direction)) << " key " << v->Key << ", block "
        << int{v->Block} << " group " << int{v->Group} << " item " << int{v->Item} << ' '
        << NameOf(kQqTypes, static_cast<int>(v->Type)) << '\n';
    }
    int b = 1;
    for (const MemoryBlock* blk = st.MemoryBlocks.get(); blk; blk = blk->Next.get(), ++b) {
      o << "  memory block " << b << ": addr " << blk->Addr << ", items at "
        << Range(blk->Channel, static_cast<int>(blk->Types.size())) << ", read at " << blk->ChannelRead << ", "
        << int{blk->ByteCount} << " bytes:";
      for (std::size_t i = 0; i < blk->Types.size(); ++i) {
        o << ' ' << NameOf(kBlockTypes, blk->Types.byte(i)) << '/' << NameOf(kBlockDirections, blk->Directions.byte(i));
      }
      o << '\n';
    }
    int memIn = 0;
    for (std::size_t i = 1; i <= st.MemoryIn.size(); ++i) memIn += st.MemoryIn[i].Address != 0;
    if (memIn || st.MemoryInArray) {
      o << "  memory inputs defined: " << memIn << (st.MemoryInArray ? " (block read)" : "") << '\n';
    }
  }
  if (!r.Warnings.empty()) {
    o << "Warnings:\n";
    for (const Finding& w : r.Warnings) o << "  " << WarningLine(w) << '\n';
  }
  return o.str();
}

std::string JsonSummary(const CheckOutcome& r) {
  const DriverConfig& s = r.State->Config;
  const qz::Log& log = r.State->Log;
  Json j;
  j["file"] = r.File;
  j["ok"] = true;
  j["port"] = {{"driver", s.PortDriverName.empty() ? std::string("SYSTEM") : Utf8(s.PortDriverName.view())},
               {"port", s.PortNumber}, {"baud", s.Baud}, {"bits", s.DataBits},
               {"parity", std::string(1, ParityLetter(s.Parity))}, {"stop", s.StopBits},
               {"options", s.ComOptions}, {"buffer_size", s.BufferSize}, {"irq", s.Irq}, {"base", s.BaseAddr}};
  j["global"] = {{"address", s.MasterAddress}, {"prefix", HexBytes(s.Prefix.view())}, {"suffix", HexBytes(s.Suffix.view())},
                 {"presuffix", HexBytes(s.PreSuffix.view())}, {"answer_time", s.AnswerTime.value()},
                 {"silence_wait", s.SilenceWait}, {"rts_time_on", s.RtsTimeOn}, {"rts_time_off", s.RtsTimeOff},
                 {"def_analog_in_addr", s.DefAnalogInAddr}, {"num_morven_error", s.NumMorvenError},
                 {"sleep_time", s.SleepTime.value()}, {"sleep_count", s.SleepCount}, {"idle_time", s.IdleTime},
                 {"self_reading", s.SelfReading != 0}, {"stay_in_queue_on_timeout", s.StayInQueueOnTimeout != 0},
                 {"beep", s.Beep != 0}, {"cuc_path", Utf8(s.CucPath.view())},
                 {"log_file", Utf8(log.FileName())}, {"diags", r.Report.DiagsSeen}};
  Json stations = Json::array();
  for (int n = 1; n <= s.StationCount; ++n) stations.push_back(JsonStation(n, s.Station(n)));
  j["stations"] = stations;
  j["warnings"] = JsonWarnings(r.Warnings);
  return j.dump() + "\n";
}

std::string TextError(const CheckOutcome& r) {
  std::string out = r.File + ":" + (r.ErrorLine > 0 ? std::to_string(r.ErrorLine) + ":" : std::string()) + " " +
                    Utf8(r.ErrorCp1250) + "\n";
  for (const Finding& w : r.Warnings) {
    out += r.File + ":" + (w.Line > 0 ? std::to_string(w.Line) + ":" : std::string()) + " warning: " + w.Text + "\n";
  }
  return out;
}

std::string JsonError(const CheckOutcome& r) {
  Json j;
  j["file"] = r.File;
  j["ok"] = false;
  if (r.ErrorLine > 0) j["line"] = r.ErrorLine;
  j["error"] = Utf8(r.ErrorCp1250);
  j["warnings"] = JsonWarnings(r.Warnings);
  return j.dump() + "\n";
}

}  // namespace qz::tool
