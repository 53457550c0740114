#include "summary.h"

#include <cstdio>
#include <sstream>

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

std::string Hex(std::string_view bytes) {
  std::string out;
  char buf[4];
  for (char c : bytes) {
    std::snprintf(buf, sizeof buf, "%s%02X", out.empty() ? "" : " ", static_cast<unsigned char>(c));
    out += buf;
  }
  return out;
}

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

std::string ClaimText(const ChannelClaim& c, int count) {
  std::string s = "station " + std::to_string(c.Station) + " " + c.What;
  if (c.Count > 1) s += " " + Range(c.FirstItem, count);
  return s;
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

// --- JSON ------------------------------------------------------------------

std::string JsonString(std::string_view utf8) {
  std::string out = "\"";
  for (char c : utf8) {
    const auto b = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (b < 0x20) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04x", b);
      out += buf;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

class Json {
 public:
  Json& Open(char bracket) {
    Comma();
    out_ << bracket;
    first_ = true;
    return *this;
  }
  Json& Close(char bracket) {
    out_ << bracket;
    first_ = false;
    return *this;
  }
  Json& Key(std::string_view key) {
    Comma();
    out_ << JsonString(key) << ':';
    first_ = true;
    return *this;
  }
  Json& Str(std::string_view utf8) { return Raw(JsonString(utf8)); }
  Json& Int(long long v) { return Raw(std::to_string(v)); }
  Json& Real(double v) { return Raw(Number(v)); }
  Json& Bool(bool v) { return Raw(v ? "true" : "false"); }
  Json& Raw(std::string_view text) {
    Comma();
    out_ << text;
    first_ = false;
    return *this;
  }
  std::string str() const { return out_.str(); }

 private:
  void Comma() {
    if (!first_) out_ << ',';
    first_ = true;
  }
  std::ostringstream out_;
  bool first_ = true;
};

void JsonStation(Json& j, int n, const StationRecord& st) {
  j.Open('{');
  j.Key("number").Int(n).Key("address").Int(st.Address).Key("retranslation").Int(st.Retranslation);
  j.Key("name").Str(Utf8(st.Name.view()));
  j.Key("counts").Open('{');
  for (const Area& a : AreasOf(st)) j.Key(a.Name).Int(a.Count);
  j.Close('}');
  j.Key("phone").Str(Utf8(st.Phone.view())).Key("dial").Bool(st.PhoneDial != 0);
  j.Key("channels").Open('{');
  for (const Area& a : AreasOf(st)) j.Key(a.Name).Str(Range(a.First, a.Count));
  j.Close('}');
  j.Key("status_channels").Open('{');
  for (int c = 1; c <= kStatusChannelCount; ++c) {
    const auto sc = static_cast<StatusChannel>(c);
    if (st.Status(sc) != 0) j.Key(StatusChannelName(sc)).Int(st.Status(sc));
  }
  j.Close('}');
  j.Key("binary_in_inverted").Open('[');
  for (std::size_t i = 1; i <= kMaxBinarIn; ++i) if (st.BinarInXor[i]) j.Int(static_cast<long long>(i));
  j.Close(']');
  j.Key("binary_out_inverted").Open('[');
  for (std::size_t i = 1; i <= kMaxBinarOut; ++i) if (st.BinarOutXor[i]) j.Int(static_cast<long long>(i));
  j.Close(']');
  j.Key("memory_in_block_read").Bool(st.MemoryInArray != 0);
  j.Key("qq").Open('[');
  for (const QqVariable* v = st.QqVariables.get(); v; v = v->Next.get()) {
    j.Open('{').Key("key").Int(v->Key).Key("direction").Str(NameOf(kQqDirections, static_cast<int>(v->Direction)));
    j.Key("block").Int(v->Block).Key("group").Int(v->Group).Key("item").Int(v->Item);
    j.Key("type").Str(NameOf(kQqTypes, static_cast<int>(v->Type))).Close('}');
  }
  j.Close(']');
  j.Key("memory_blocks").Open('[');
  for (const MemoryBlock* b = st.MemoryBlocks.get(); b; b = b->Next.get()) {
    j.Open('{').Key("addr").Int(b->Addr).Key("channel").Int(b->Channel).Key("channel_read").Int(b->ChannelRead);
    j.Key("bytes").Int(b->ByteCount).Key("items").Open('[');
    for (std::size_t i = 0; i < b->Types.size(); ++i) {
      j.Open('{').Key("type").Str(NameOf(kBlockTypes, b->Types.byte(i)));
      j.Key("direction").Str(NameOf(kBlockDirections, b->Directions.byte(i))).Close('}');
    }
    j.Close(']').Close('}');
  }
  j.Close(']');
  j.Close('}');
}

}  // namespace

std::vector<std::string> Warnings(const CheckResult& r) {
  std::vector<std::string> out;
  for (const ParNote& note : r.Report->Notes) {
    out.push_back("line " + std::to_string(note.Line) + ": " + Utf8(note.Text));
  }
  if (!r.Report->StationsEnd.empty()) {
    out.push_back("line " + std::to_string(r.Report->StationsEndLine) + ": " + Utf8(r.Report->StationsEnd) +
                  " - the stations end here; station " + std::to_string(r.State->StationCount) +
                  " is counted as read so far and later groups are not read");
  }
  for (const ChannelConflict& c : r.Conflicts) {
    const int count = c.LastChannel - c.FirstChannel + 1;
    out.push_back("channel" + std::string(count > 1 ? "s " : " ") + Range(c.FirstChannel, count) + ": " +
                  ClaimText(c.Loser, count) + " never reach the host: " + ClaimText(c.Winner, count) +
                  " claims them first");
  }
  return out;
}

std::string TextSummary(const CheckResult& r) {
  const DriverState& s = *r.State;
  std::ostringstream o;
  o << r.File << ": OK, " << int{s.StationCount} << " station(s)\n";
  o << "[COM]     COM" << s.PortNumber << " (" << (s.PortDriverName.empty() ? "SYSTEM" : s.PortDriverName.str())
    << "), " << s.Baud << " Bd, " << s.DataBits << ' ' << ParityLetter(s.Parity) << ' ' << s.StopBits
    << ", options " << s.ComOptions << ", buffer " << s.BufferSize << ", IRQ " << s.Irq << ", base $" << std::hex << std::uppercase << s.BaseAddr << std::dec
    << '\n';
  o << "[GLOBAL]  address " << int{s.MasterAddress} << ", prefix [" << Hex(s.Prefix.view()) << "], suffix ["
    << Hex(s.Suffix.view()) << "], presuffix [" << Hex(s.PreSuffix.view()) << "]\n";
  o << "          answer time " << Number(s.AnswerTime) << " s, silence wait " << s.SilenceWait << " ms, RTS on "
    << s.RtsTimeOn << " ms, RTS off " << s.RtsTimeOff << " ms, analog inputs at " << s.DefAnalogInAddr << '\n';
  o << "          failed exchanges " << int{s.NumMorvenError} << ", sleep " << Number(s.SleepTime) << " s after "
    << s.SleepCount << " time-outs, idle " << s.IdleTime << " ms, self reading " << (s.SelfReading ? "on" : "off")
    << ", stay in queue " << (s.StayInQueueOnTimeout ? "on" : "off") << ", beep " << (s.Beep ? "on" : "off")
    << '\n';
  o << "          CUC path " << Utf8(s.CucPath.view()) << ", log " << (r.Report->DiagsSeen ? "on ($DIAGS)" : "off")
    << (s.LogFileName.empty() ? std::string() : ", log file " + Utf8(s.LogFileName.view())) << '\n';
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
  const auto warnings = Warnings(r);
  if (!warnings.empty()) {
    o << "Warnings:\n";
    for (const auto& w : warnings) o << "  " << w << '\n';
  }
  return o.str();
}

std::string JsonSummary(const CheckResult& r) {
  const DriverState& s = *r.State;
  Json j;
  j.Open('{').Key("file").Str(r.File).Key("ok").Bool(true);
  j.Key("port").Open('{').Key("driver").Str(s.PortDriverName.empty() ? "SYSTEM" : Utf8(s.PortDriverName.view()));
  j.Key("port").Int(s.PortNumber).Key("baud").Int(s.Baud).Key("bits").Int(s.DataBits);
  j.Key("parity").Str(std::string(1, ParityLetter(s.Parity))).Key("stop").Int(s.StopBits);
  j.Key("options").Int(s.ComOptions).Key("buffer_size").Int(s.BufferSize).Key("irq").Int(s.Irq);
  j.Key("base").Int(s.BaseAddr).Close('}');
  j.Key("global").Open('{').Key("address").Int(s.MasterAddress);
  j.Key("prefix").Str(Hex(s.Prefix.view())).Key("suffix").Str(Hex(s.Suffix.view()));
  j.Key("presuffix").Str(Hex(s.PreSuffix.view())).Key("answer_time").Real(s.AnswerTime);
  j.Key("silence_wait").Int(s.SilenceWait).Key("rts_time_on").Int(s.RtsTimeOn).Key("rts_time_off").Int(s.RtsTimeOff);
  j.Key("def_analog_in_addr").Int(s.DefAnalogInAddr).Key("num_morven_error").Int(s.NumMorvenError);
  j.Key("sleep_time").Real(s.SleepTime).Key("sleep_count").Int(s.SleepCount).Key("idle_time").Int(s.IdleTime);
  j.Key("self_reading").Bool(s.SelfReading != 0).Key("stay_in_queue_on_timeout").Bool(s.StayInQueueOnTimeout != 0);
  j.Key("beep").Bool(s.Beep != 0).Key("cuc_path").Str(Utf8(s.CucPath.view()));
  j.Key("log_file").Str(Utf8(s.LogFileName.view())).Key("diags").Bool(r.Report->DiagsSeen).Close('}');
  j.Key("stations").Open('[');
  for (int n = 1; n <= s.StationCount; ++n) JsonStation(j, n, s.Station(n));
  j.Close(']');
  j.Key("warnings").Open('[');
  for (const auto& w : Warnings(r)) j.Str(w);
  j.Close(']').Close('}');
  return j.str() + "\n";
}

std::string TextError(const std::string& file, int line, const std::string& messageCp1250) {
  return file + ":" + std::to_string(line) + ": " + Utf8(messageCp1250) + "\n";
}

std::string JsonError(const std::string& file, int line, const std::string& messageCp1250) {
  Json j;
  j.Open('{').Key("file").Str(file).Key("ok").Bool(false).Key("line").Int(line);
  j.Key("error").Str(Utf8(messageCp1250)).Close('}');
  return j.str() + "\n";
}

}  // namespace qz::tool
