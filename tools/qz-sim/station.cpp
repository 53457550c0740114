#include "station.h"

#include <algorithm>
#include <bit>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <limits>
#include <sstream>

#include "protocol/codecs.h"

namespace qz::sim {

namespace {

constexpr std::size_t kMemorySize = 65536 + 256;
constexpr std::size_t kMaxAnswerData = 240;  // keeps an answer inside 255 bytes
constexpr std::uint8_t kBadRequest = 6;
constexpr int kSampleCount = 528;
constexpr int kSampleRecord = 31;
constexpr int kSampleBlockBytes = 6 * kSampleRecord;

std::uint8_t At(std::string_view s, std::size_t i) {
  return i < s.size() ? static_cast<std::uint8_t>(s[i]) : 0;
}
char Ch(unsigned v) { return static_cast<char>(static_cast<std::uint8_t>(v)); }

std::string ErrorAnswer(std::uint8_t code) { return std::string{'E', Ch(code)}; }

void AppendLe(std::string& out, std::uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(Ch(v >> (8 * i)));
}

bool IsSampleKind(std::uint8_t k) {
  return k == 72 || k == 76 || k == 80 || k == 136 || k == 140 || k == 144;
}

std::uint8_t ToBcd(int v) { return static_cast<std::uint8_t>(((v / 10) % 10) << 4 | (v % 10)); }

int BlockSize(std::uint8_t type) {
  switch (type) {
    case 1: return 1;
    case 2: case 3: return 2;
    case 4: case 5: return 4;
    case 6: return 3;
    default: return 0;
  }
}

// Beyond a single's range the value becomes infinite, as a station would keep it.
std::uint32_t FloatBits(double v) {
  if (std::fabs(v) > std::numeric_limits<float>::max() && std::isfinite(v)) v = std::copysign(HUGE_VAL, v);
  return std::bit_cast<std::uint32_t>(static_cast<float>(v));
}

std::int64_t Clamp(double v, double lo, double hi) { return static_cast<std::int64_t>(std::clamp(std::round(v), lo, hi)); }

}  // namespace

std::array<std::uint8_t, 6> BcdTime(StationSeconds s) {
  using namespace std::chrono;
  const sys_days base = year_month_day(year(2000), month(1), day(1));
  const auto day = static_cast<int>(s >= 0 ? s / 86400 : (s - 86399) / 86400);
  const std::int64_t rest = s - std::int64_t{day} * 86400;
  const year_month_day date(base + days(day));
  return {ToBcd(int(date.year()) % 100), ToBcd(static_cast<int>(unsigned(date.month()))),
          ToBcd(static_cast<int>(unsigned(date.day()))), ToBcd(static_cast<int>(rest / 3600)),
          ToBcd(static_cast<int>(rest % 3600 / 60)), ToBcd(static_cast<int>(rest % 60))};
}

Station::Station(StationSetup setup)
    : setup_(std::move(setup)), memory_(kMemorySize, 0), bi_(96, 0), bo_(96, 0), history_(kHistoryBytes, 0) {
  setup_.Scales.resize(64);
  for (const QqSetup& q : setup_.Qq) qq_.push_back({q, 0, std::string(32, ' ')});
}

// ---------------------------------------------------------------------------
// Answers.

std::string Station::Answer(std::string_view r, StationSeconds now) {
  if (r.empty()) return {};
  switch (At(r, 0)) {
    case 'B': return AnswerB(r);
    case 'b': return AnswerWriteB(r);
    case 'A': return AnswerA(r);
    case 'C': return AnswerC(r);
    case 'N': return AnswerN(r);
    case 'n': return AnswerWriteN(r);
    case 'K': return AnswerK(r);
    case 'k': return AnswerWriteK(r);
    case 'Q': return AnswerQ(r, now);
    default: return ErrorAnswer(kBadRequest);
  }
}

std::uint8_t Station::GroupByte(const std::vector<std::uint8_t>& bits, int group) const {
  std::uint8_t b = 0;
  for (int k = 0; k < 8; ++k) {
    const std::size_t i = static_cast<std::size_t>(8 * group + k);
    if (i < bits.size() && bits[i] != 0) b = static_cast<std::uint8_t>(b | (1u << k));
  }
  return b;
}

void Station::SetGroupByte(std::vector<std::uint8_t>& bits, int group, std::uint8_t value) {
  for (int k = 0; k < 8; ++k) {
    const std::size_t i = static_cast<std::size_t>(8 * group + k);
    if (i < bits.size()) bits[i] = (value >> k) & 1u;
  }
}

std::string Station::AnswerB(std::string_view r) const {
  if (r.size() < 2) return ErrorAnswer(kBadRequest);
  const std::uint8_t mask = At(r, 1);
  std::string out{'B', Ch(mask)};
  for (int g = 0; g < (mask == 0 ? 12 : 8); ++g) {
    if (mask == 0 || (mask >> g) & 1u) out.push_back(Ch(GroupByte(bi_, g)));
  }
  return out;
}

std::string Station::AnswerWriteB(std::string_view r) {
  if (r.size() < 2) return ErrorAnswer(kBadRequest);
  const std::uint8_t mask = At(r, 1);
  const std::size_t need = 2 + static_cast<std::size_t>(mask == 0 ? 12 : std::popcount(mask));
  if (r.size() < need) return ErrorAnswer(kBadRequest);
  std::size_t p = 2;
  for (int g = 0; g < (mask == 0 ? 12 : 8); ++g) {
    if (mask == 0 || (mask >> g) & 1u) SetGroupByte(bo_, g, At(r, p++));
  }
  return std::string(r.substr(0, need));
}

double Station::AnalogValue(int i) const {
  const std::size_t a = setup_.AnalogAddr + 3u * static_cast<std::size_t>(i - 1);
  return DecodeFloat24(memory_[a], memory_[a + 1], memory_[a + 2]);
}

std::uint16_t Station::AnalogRaw(int i) const {
  const AnalogScale& s = setup_.Scales[static_cast<std::size_t>(i - 1)];
  const double span = s.High - s.Low;
  const double x = span == 0 ? 0 : (AnalogValue(i) - s.Low) / span * 4095.0 - s.Third;
  return static_cast<std::uint16_t>(0x8000 | Clamp(x, 0, 4095));
}

std::string Station::AnswerA(std::string_view r) const {
  if (r.size() < 2) return ErrorAnswer(kBadRequest);
  const std::uint8_t mask = At(r, 1);
  std::string out{'A', Ch(mask)};
  for (int g = 0; g < 8; ++g) {
    if (!((mask >> g) & 1u)) continue;
    for (int j = 1; j <= 8; ++j) {
      const std::uint16_t w = AnalogRaw(8 * g + j);
      out.push_back(Ch(w >> 8));
      out.push_back(Ch(w));
    }
  }
  return out;
}

std::string Station::AnswerC(std::string_view r) {
  if (r.size() < 2) return ErrorAnswer(kBadRequest);
  const std::uint8_t mask = At(r, 1);
  std::string out{'C', Ch(mask)};
  const bool zero = (mask & 0x80) != 0;
  for (int g = 0; g < 6; ++g) {
    if (!((mask >> g) & 1u)) continue;
    for (int j = 0; j < 8; ++j) {
      std::uint16_t& c = counters_[static_cast<std::size_t>(8 * g + j)];
      if (zero) {
        c = 0;
      } else {
        out.push_back(Ch(c >> 8));
        out.push_back(Ch(c));
      }
    }
  }
  return out;
}

std::string Station::AnswerN(std::string_view r) const {
  if (r.size() < 4) return ErrorAnswer(kBadRequest);
  const std::uint16_t a = static_cast<std::uint16_t>(At(r, 1) | At(r, 2) << 8);
  const std::size_t q = std::min<std::size_t>(At(r, 3), kMaxAnswerData);
  std::string out{'N', Ch(a), Ch(a >> 8), Ch(static_cast<unsigned>(q))};
  for (std::size_t i = 0; i < q; ++i) out.push_back(Ch(memory_[a + i]));
  return out;
}

std::string Station::AnswerWriteN(std::string_view r) {
  if (r.size() < 4) return ErrorAnswer(kBadRequest);
  const std::uint16_t a = static_cast<std::uint16_t>(At(r, 1) | At(r, 2) << 8);
  const std::size_t q = At(r, 3);
  if (r.size() < 4 + q) return ErrorAnswer(kBadRequest);
  for (std::size_t i = 0; i < q; ++i) memory_[a + i] = At(r, 4 + i);
  return std::string(r.substr(0, 4 + q));
}

std::string Station::AnswerK(std::string_view r) const {
  if (r.size() < 2) return ErrorAnswer(kBadRequest);
  const std::uint8_t mask = At(r, 1);
  std::string out{'K', Ch(mask)};
  for (int g = 0; g < 8; ++g) {
    if (!((mask >> g) & 1u)) continue;
    double v = 0;
    if (g < setup_.NumMemoryOut) {
      const MemoryItemSetup& m = setup_.MemoryOut[static_cast<std::size_t>(g)];
      v = ReadMemoryValue(m.Address, m.Type);
    }
    out += Float24Bytes(EncodeFloat24(v));
  }
  return out;
}

std::string Station::AnswerWriteK(std::string_view r) {
  if (r.size() < 2) return ErrorAnswer(kBadRequest);
  const std::uint8_t mask = At(r, 1);
  const std::size_t need = 2 + 3 * static_cast<std::size_t>(std::popcount(mask));
  if (r.size() < need) return ErrorAnswer(kBadRequest);
  std::size_t p = 2;
  for (int g = 0; g < 8; ++g) {
    if (!((mask >> g) & 1u)) continue;
    const double v = DecodeFloat24(At(r, p), At(r, p + 1), At(r, p + 2));
    p += 3;
    if (g < setup_.NumMemoryOut) {
      const MemoryItemSetup& m = setup_.MemoryOut[static_cast<std::size_t>(g)];
      WriteMemoryValue(m.Address, m.Type, v);
    }
  }
  return std::string(r.substr(0, need));
}

std::string Station::AnswerQ(std::string_view r, StationSeconds now) {
  if (r.size() < 2) return ErrorAnswer(kBadRequest);
  switch (At(r, 1)) {
    case 'q': return AnswerQqRead(r);
    case 'Q': return AnswerQqWrite(r);
    case 'N': return AnswerQn(r, now);
    default: return ErrorAnswer(kBadRequest);
  }
}

const Station::QqValue* Station::FindQq(std::uint8_t d, std::uint8_t b, std::uint8_t a, int* part) const {
  for (const QqValue& v : qq_) {
    const QqSetup& s = v.Setup;
    if (s.Block != d || s.Group != b) continue;
    if (s.Type == 7 ? (a >= s.Item && a <= s.Item + 7) : a == s.Item) {
      if (part) *part = a - s.Item;
      return &v;
    }
  }
  return nullptr;
}

Station::QqValue* Station::FindQq(std::uint8_t d, std::uint8_t b, std::uint8_t a, int* part) {
  return const_cast<QqValue*>(static_cast<const Station*>(this)->FindQq(d, b, a, part));
}

std::optional<std::uint32_t> Station::HistoryVariable(std::uint8_t d, std::uint8_t b, std::uint8_t a) const {
  if (d == 0 && b == 0 && a == 1) return capacity_ == 50000 ? 1u : 0u;
  if (d != 186 || b != 1) return std::nullopt;
  if (a == 13) return written_;
  if (a == 14) return top_;
  if (a >= 5 && a <= 12) return userPos_[static_cast<std::size_t>(a - 4)];
  return std::nullopt;
}

std::string Station::AnswerQqRead(std::string_view r) const {
  std::string out{'Q', 'q'};
  for (std::size_t p = 2; p + 3 <= r.size(); p += 3) {
    const std::uint8_t d = At(r, p), b = At(r, p + 1), a = At(r, p + 2);
    int part = 0;
    if (const QqValue* v = FindQq(d, b, a, &part)) {
      if (v->Setup.Type == 7) out += v->Text.substr(static_cast<std::size_t>(4 * part), 4);
      else AppendLe(out, v->Raw, 4);
    } else if (auto h = HistoryVariable(d, b, a)) {
      AppendLe(out, *h, 4);
    } else {
      out += "\xBE\xBE\xBE\xBE";
    }
  }
  return out;
}

std::string Station::AnswerQqWrite(std::string_view r) {
  bool unknown = false;
  std::size_t p = 2;
  for (; p + 7 <= r.size(); p += 7) {
    const std::uint8_t d = At(r, p), b = At(r, p + 1), a = At(r, p + 2);
    const std::uint32_t value = static_cast<std::uint32_t>(At(r, p + 3)) | static_cast<std::uint32_t>(At(r, p + 4)) << 8 |
                                static_cast<std::uint32_t>(At(r, p + 5)) << 16 |
                                static_cast<std::uint32_t>(At(r, p + 6)) << 24;
    QqValue* v = FindQq(d, b, a, nullptr);
    if (v && v->Setup.Type != 7) {
      v->Raw = value;
    } else if (d == 186 && b == 1 && a >= 5 && a <= 12) {
      SetUserPos(a - 4, value);
    } else {
      unknown = true;
    }
  }
  if (p != r.size()) unknown = true;  // a rest shorter than one variable
  std::string out(r);
  out[1] = unknown ? 'X' : 'Q';
  return out;
}

int Station::SampleIntervalSeconds(std::uint8_t kind) {
  switch (kind) {
    case 72: case 136: return 60;
    case 76: case 140: return 900;
    default: return 3600;
  }
}

std::string Station::SampleBlock(std::uint8_t kind, int block, StationSeconds now) const {
  const int interval = SampleIntervalSeconds(kind);
  const StationSeconds last = now - now % interval;
  std::string out;
  for (int j = 0; j < 6; ++j) {
    const int n = 6 * block + j + 1;  // 1..528, 528 the newest
    for (std::uint8_t b : BcdTime(last - static_cast<StationSeconds>(kSampleCount - n) * interval)) out.push_back(Ch(b));
    out.push_back(0);  // status
    for (int v = 1; v <= 8; ++v) out += Float24Bytes(EncodeFloat24(v <= setup_.NumAnalogIn ? AnalogValue(v) : 0.0));
  }
  return out;
}

std::string Station::AnswerQn(std::string_view r, StationSeconds now) const {
  if (r.size() < 6) return ErrorAnswer(kBadRequest);
  const std::uint8_t k = At(r, 2);
  const std::uint16_t a = static_cast<std::uint16_t>(At(r, 3) | At(r, 4) << 8);
  const std::size_t q = std::min<std::size_t>(At(r, 5), kMaxAnswerData);
  std::string data;
  if (k >= 240 && k <= 247) {
    const std::size_t offset = static_cast<std::size_t>(k - 240) * 65536 + a;
    for (std::size_t i = 0; i < q; ++i) data.push_back(offset + i < history_.size() ? Ch(history_[offset + i]) : '\0');
  } else if (IsSampleKind(k)) {
    const int rel = a - 0x8000;
    if (rel < 0 || rel % kSampleBlockBytes != 0 || rel / kSampleBlockBytes >= kSampleCount / 6) {
      return ErrorAnswer(kBadRequest);
    }
    data = SampleBlock(k, rel / kSampleBlockBytes, now);
    data.resize(q, '\0');
  } else {
    return ErrorAnswer(kBadRequest);
  }
  std::string out{'Q', 'N', Ch(k), Ch(a), Ch(a >> 8), Ch(static_cast<unsigned>(q))};
  out += data;
  out.push_back(Ch(XorOf(data)));  // closing byte of a memory image
  return out;
}

// ---------------------------------------------------------------------------
// Values.

double Station::ReadMemoryValue(std::uint16_t address, std::uint8_t type) const {
  const std::size_t a = address;
  switch (type) {
    case 1: return memory_[a];
    case 2: return memory_[a] | memory_[a + 1] << 8;
    default: return DecodeFloat24(memory_[a], memory_[a + 1], memory_[a + 2]);
  }
}

void Station::WriteMemoryValue(std::uint16_t address, std::uint8_t type, double value) {
  const std::size_t a = address;
  switch (type) {
    case 1: memory_[a] = static_cast<std::uint8_t>(Clamp(value, 0, 255)); break;
    case 2: {
      const auto w = static_cast<std::uint16_t>(Clamp(value, 0, 65535));
      memory_[a] = static_cast<std::uint8_t>(w);
      memory_[a + 1] = static_cast<std::uint8_t>(w >> 8);
      break;
    }
    default: {
      const Float24 f = EncodeFloat24(value);
      std::copy(f.begin(), f.end(), memory_.begin() + static_cast<std::ptrdiff_t>(a));
    }
  }
}

bool Station::BlockItemAt(int block, int item, std::uint16_t& address, std::uint8_t& type, std::string& error) const {
  if (block < 1 || block > static_cast<int>(setup_.Blocks.size())) {
    error = "no memory block " + std::to_string(block);
    return false;
  }
  const BlockSetup& b = setup_.Blocks[static_cast<std::size_t>(block - 1)];
  if (item < 1 || item > static_cast<int>(b.Types.size())) {
    error = "memory block " + std::to_string(block) + " has no item " + std::to_string(item);
    return false;
  }
  int offset = 0;
  for (int i = 1; i < item; ++i) offset += BlockSize(b.Types[static_cast<std::size_t>(i - 1)]);
  address = static_cast<std::uint16_t>(b.Addr + offset);
  type = b.Types[static_cast<std::size_t>(item - 1)];
  return true;
}

namespace {
bool InRange(int i, int count, const char* what, std::string& error) {
  if (i >= 1 && i <= count) return true;
  error = std::string(what) + " " + std::to_string(i) + " is outside 1.." + std::to_string(count);
  return false;
}
}  // namespace

bool Station::Set(const ItemRef& item, double value, std::string& error) {
  using A = ItemRef::Area;
  const std::size_t i = static_cast<std::size_t>(item.Index - 1);
  switch (item.Where) {
    case A::BI:
      if (!InRange(item.Index, 96, "binary input", error)) return false;
      bi_[i] = value != 0;
      return true;
    case A::BO:
      if (!InRange(item.Index, 96, "binary output", error)) return false;
      bo_[i] = value != 0;
      return true;
    case A::AI:
      if (!InRange(item.Index, 64, "analog input", error)) return false;
      WriteMemoryValue(static_cast<std::uint16_t>(setup_.AnalogAddr + 3 * i), 3, value);
      return true;
    case A::CT:
      if (!InRange(item.Index, 48, "counter", error)) return false;
      counters_[i] = static_cast<std::uint16_t>(Clamp(value, 0, 65535));
      return true;
    case A::MI:
      if (!InRange(item.Index, setup_.NumMemoryIn, "memory input", error)) return false;
      WriteMemoryValue(setup_.MemoryIn[i].Address, setup_.MemoryIn[i].Type, value);
      return true;
    case A::MO:
      if (!InRange(item.Index, setup_.NumMemoryOut, "memory output", error)) return false;
      WriteMemoryValue(setup_.MemoryOut[i].Address, setup_.MemoryOut[i].Type, value);
      return true;
    case A::MEM:
      WriteMemoryValue(item.Address, item.Type, value);
      return true;
    case A::QQ: {
      QqValue* v = FindQq(item.Id[0], item.Id[1], item.Id[2], nullptr);
      if (!v) {
        error = "no QQ variable " + ItemName(item).substr(3);
        return false;
      }
      if (v->Setup.Type == 7) {
        error = "QQ variable " + ItemName(item).substr(3) + " is a STRING: give a quoted text";
        return false;
      }
      v->Raw = v->Setup.Type == 6 ? FloatBits(value)
                                  : static_cast<std::uint32_t>(Clamp(value, -2147483648.0, 4294967295.0));
      return true;
    }
    case A::BLK: {
      std::uint16_t address = 0;
      std::uint8_t type = 0;
      if (!BlockItemAt(item.Index, item.Item, address, type, error)) return false;
      if (type == 6) {
        WriteMemoryValue(address, 3, value);
        return true;
      }
      const auto raw = static_cast<std::uint32_t>(Clamp(value, -2147483648.0, 4294967295.0));
      for (int b = 0; b < BlockSize(type); ++b) memory_[address + static_cast<std::size_t>(b)] = static_cast<std::uint8_t>(raw >> (8 * b));
      return true;
    }
  }
  return false;
}

bool Station::SetText(const ItemRef& item, std::string_view text, std::string& error) {
  if (item.Where != ItemRef::Area::QQ) {
    error = "only a QQ STRING variable takes a text";
    return false;
  }
  QqValue* v = FindQq(item.Id[0], item.Id[1], item.Id[2], nullptr);
  if (!v || v->Setup.Type != 7) {
    error = "no QQ STRING variable " + ItemName(item).substr(3);
    return false;
  }
  v->Text = std::string(text.substr(0, 32));
  v->Text.resize(32, ' ');
  return true;
}

std::optional<double> Station::Get(const ItemRef& item) const {
  using A = ItemRef::Area;
  const int n = item.Index;
  const std::size_t i = static_cast<std::size_t>(n - 1);
  switch (item.Where) {
    case A::BI: return n >= 1 && n <= 96 ? std::optional<double>(bi_[i]) : std::nullopt;
    case A::BO: return n >= 1 && n <= 96 ? std::optional<double>(bo_[i]) : std::nullopt;
    case A::AI: return n >= 1 && n <= 64 ? std::optional<double>(AnalogValue(n)) : std::nullopt;
    case A::CT: return n >= 1 && n <= 48 ? std::optional<double>(counters_[i]) : std::nullopt;
    case A::MI:
      if (n < 1 || n > setup_.NumMemoryIn) return std::nullopt;
      return ReadMemoryValue(setup_.MemoryIn[i].Address, setup_.MemoryIn[i].Type);
    case A::MO:
      if (n < 1 || n > setup_.NumMemoryOut) return std::nullopt;
      return ReadMemoryValue(setup_.MemoryOut[i].Address, setup_.MemoryOut[i].Type);
    case A::MEM: return ReadMemoryValue(item.Address, item.Type);
    case A::QQ: {
      const QqValue* v = FindQq(item.Id[0], item.Id[1], item.Id[2], nullptr);
      if (!v || v->Setup.Type == 7) return std::nullopt;
      if (v->Setup.Type == 6) return static_cast<double>(std::bit_cast<float>(v->Raw));
      if (v->Setup.Type == 4) return static_cast<double>(v->Raw);
      return static_cast<double>(static_cast<std::int32_t>(v->Raw));
    }
    case A::BLK: {
      std::uint16_t address = 0;
      std::uint8_t type = 0;
      std::string error;
      if (!BlockItemAt(item.Index, item.Item, address, type, error)) return std::nullopt;
      if (type == 6) return ReadMemoryValue(address, 3);
      std::uint32_t raw = 0;
      for (int b = 0; b < BlockSize(type); ++b) raw |= static_cast<std::uint32_t>(memory_[address + static_cast<std::size_t>(b)]) << (8 * b);
      if (type == 3) return static_cast<double>(static_cast<std::int16_t>(raw));
      if (type == 5) return static_cast<double>(static_cast<std::int32_t>(raw));
      return static_cast<double>(raw);
    }
  }
  return std::nullopt;
}

// ---------------------------------------------------------------------------
// History.

void Station::AddHistoryRecord(std::uint16_t code, StationSeconds time, float value) {
  const std::size_t o = static_cast<std::size_t>(top_) * 10;
  const std::uint32_t t = static_cast<std::uint32_t>(std::max<StationSeconds>(time, 0));
  const std::uint32_t v = std::bit_cast<std::uint32_t>(value);
  std::uint8_t* r = &history_[o];
  r[0] = static_cast<std::uint8_t>(code);
  r[1] = static_cast<std::uint8_t>(code >> 8);
  for (int b = 0; b < 4; ++b) {
    r[2 + b] = static_cast<std::uint8_t>(t >> (8 * b));
    r[6 + b] = static_cast<std::uint8_t>(v >> (8 * b));
  }
  top_ = (top_ + 1) % capacity_;
  ++written_;
}

void Station::SetUserPos(int user, std::uint32_t pos) {
  if (user >= 1 && user <= 8) userPos_[static_cast<std::size_t>(user)] = pos;
}

// ---------------------------------------------------------------------------

std::string Station::Dump() const {
  std::ostringstream o;
  o << "station " << int(setup_.Address) << " \"" << setup_.Name << "\" header "
    << (Header == AnswerHeader::Y ? "Y" : "short") << "\n";
  auto bits = [&](const char* name, const std::vector<std::uint8_t>& v, int count) {
    if (count <= 0) return;
    o << "  " << name << " ";
    for (int i = 0; i < count; ++i) o << (v[static_cast<std::size_t>(i)] ? '1' : '0') << ((i % 8 == 7) ? " " : "");
    o << "\n";
  };
  bits("BI", bi_, setup_.NumBinarIn);
  bits("BO", bo_, setup_.NumBinarOut);
  char buf[64];
  for (int i = 1; i <= setup_.NumAnalogIn; ++i) {
    std::snprintf(buf, sizeof buf, "  AI %d = %g (raw %04X)\n", i, AnalogValue(i), AnalogRaw(i));
    o << buf;
  }
  for (int i = 1; i <= setup_.NumCounterIn; ++i) o << "  CT " << i << " = " << counters_[static_cast<std::size_t>(i - 1)] << "\n";
  for (int i = 1; i <= setup_.NumMemoryIn; ++i) {
    const MemoryItemSetup& m = setup_.MemoryIn[static_cast<std::size_t>(i - 1)];
    std::snprintf(buf, sizeof buf, "  MI %d @%04X = %g\n", i, m.Address, ReadMemoryValue(m.Address, m.Type));
    o << buf;
  }
  for (int i = 1; i <= setup_.NumMemoryOut; ++i) {
    const MemoryItemSetup& m = setup_.MemoryOut[static_cast<std::size_t>(i - 1)];
    std::snprintf(buf, sizeof buf, "  MO %d @%04X = %g\n", i, m.Address, ReadMemoryValue(m.Address, m.Type));
    o << buf;
  }
  for (std::size_t b = 0; b < setup_.Blocks.size(); ++b) {
    std::snprintf(buf, sizeof buf, "  block %zu @%04X:", b + 1, setup_.Blocks[b].Addr);
    o << buf;
    for (std::size_t i = 1; i <= setup_.Blocks[b].Types.size(); ++i) {
      ItemRef item;
      item.Where = ItemRef::Area::BLK;
      item.Index = static_cast<int>(b + 1);
      item.Item = static_cast<int>(i);
      o << " " << Get(item).value_or(0);
    }
    o << "\n";
  }
  for (const QqValue& v : qq_) {
    std::snprintf(buf, sizeof buf, "  QQ %d.%d.%d type %d = ", v.Setup.Block, v.Setup.Group, v.Setup.Item, v.Setup.Type);
    o << buf;
    if (v.Setup.Type == 7) o << '"' << v.Text << '"';
    else if (v.Setup.Type == 6) o << std::bit_cast<float>(v.Raw);
    else o << static_cast<std::int32_t>(v.Raw);
    o << "\n";
  }
  o << "  history: capacity " << capacity_ << ", top " << top_ << ", written " << written_ << ", user positions";
  for (int u = 1; u <= 8; ++u) o << " " << userPos_[static_cast<std::size_t>(u)];
  o << "\n";
  return o.str();
}

}  // namespace qz::sim
