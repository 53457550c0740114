#include "config/par_station_tables.h"

#include <array>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

#include "config/par_reader.h"
#include "diag/log.h"
#include "diag/texts.h"

namespace qz {

namespace {

constexpr double kUnreadableReal = -999999.9;
constexpr double kLimitsHigh = 155.08;
constexpr int kMaxBlockBytes = 255;
constexpr int kMaxBlockItems = 255;

constexpr std::array<std::string_view, 3> kMemoryTypeNames = {"BYTE", "WORD", "REAL"};
constexpr std::array<std::string_view, 8> kPeriodNames = {"REAL",    "HOUR",  "SHIFT",   "DAY",
                                                          "WEEKEND", "MONTH", "QUARTER", "YEAR"};
constexpr std::array<std::string_view, 3> kQqDirectionNames = {"READ", "WRITE", "BIDIR"};
constexpr std::array<std::string_view, 7> kQqTypeNames = {"BYTE",    "WORD", "INTEGER", "CARDINAL",
                                                          "LONGINT", "REAL", "STRING"};
constexpr std::array<std::string_view, 6> kBlockTypeNames = {"BYTE",    "WORD", "INTEGER",
                                                             "CARDINAL", "LONGINT", "REAL"};
constexpr std::array<std::string_view, 3> kBlockDirectionNames = {"INPUT", "OUTPUT", "BIDIR"};

// Position 1..N of text in names, or 0.
template <std::size_t N>
int NameCode(const std::array<std::string_view, N>& names, std::string_view text) {
  for (std::size_t i = 0; i < N; ++i) {
    if (names[i] == text) return static_cast<int>(i) + 1;
  }
  return 0;
}

std::string RightAligned3(int value) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%3d", value);
  return buf;
}

// Words separated by blanks or TABs, each a number 1..96.
bool MarkInvertedItems(std::string_view list, Array1<std::uint8_t, kMaxBinarIn>& mask) {
  std::size_t pos = 0;
  for (;;) {
    while (pos < list.size() && (list[pos] == ' ' || list[pos] == '\t')) ++pos;
    if (pos == list.size()) return true;
    std::size_t end = pos;
    while (end < list.size() && list[end] != ' ' && list[end] != '\t') ++end;
    const auto number = ParseInteger(list.substr(pos, end - pos));
    if (!number || !mask.Contains(*number)) return false;
    mask[static_cast<std::size_t>(*number)] = 1;
    pos = end;
  }
}

double RealOrMarker(const ParReader& r) { return ParseReal(r.Token()).value_or(kUnreadableReal); }

int ByteIndex(const ParReader& r) { return r.ByteValue().value_or(0); }

// One TYPES list: pairs of item type and direction, matched exactly as
// written, up to TYPES_END.
bool ReadBlockTypes(ParReader& r, MemoryBlock& block, int& byteCount) {
  for (;;) {
    r.NextToken();
    if (r.RawToken() != "TYPES_END") {
      const std::string typeWord(r.RawToken());
      r.NextToken();
      const int type = NameCode(kBlockTypeNames, typeWord);
      const int direction = NameCode(kBlockDirectionNames, r.RawToken());
      if (type == 0 || direction == 0) return false;
      byteCount += BlockItemSize(static_cast<BlockItemType>(type));
      // Items beyond what the block's record and its message can hold.
      if (byteCount > kMaxBlockBytes || block.Types.size() >= kMaxBlockItems) return false;
      block.Types += static_cast<char>(type);
      block.Directions += static_cast<char>(direction);
    }
    if (r.TokenIs("TYPES_END") || r.AtFileEnd()) return true;
  }
}

}  // namespace

bool LoadBinarXor(ParReader& r, int index, Array1<std::uint8_t, kMaxBinarIn>& mask) {
  mask.fill(0);
  if (r.TokenIs("NONE")) {
    r.SetFlag(index, true);
    return true;
  }
  std::string list(r.Token());
  list += ' ';
  list += r.RestOfLine();
  r.Log().Line(text::kLogLoadBinarXor, list);
  if (!MarkInvertedItems(list, mask)) return false;
  r.SetFlag(index, true);
  return true;
}

bool LoadMemoryTable(ParReader& r, int index, Array1<MemoryDef, 100>& table, std::uint8_t* arrayFlag) {
  r.Log().Line(text::kLogLoadMemoryCfg, r.Token());
  table.fill(MemoryDef{});
  if (arrayFlag) *arrayFlag = 0;
  bool ok = true;
  if (!r.TokenIs("NONE")) {
    while (!r.TokenIs("DEF_MEMORY_END") && !r.AtFileEnd()) {
      if (r.TokenIs("ARRAY")) {
        if (arrayFlag) *arrayFlag = 1;
        r.Log().Line(text::kLogLoadMem, text::kLogArrayFound);
        r.NextToken();
        continue;
      }
      const int entry = ByteIndex(r);
      r.NextToken();
      // An address that is not a number rejects the table rather than
      // leaving the entry at some address.
      const auto address = r.WordValue();
      const bool stored = table.Contains(entry) && address.has_value();
      if (stored) {
        table[static_cast<std::size_t>(entry)].Address = *address;
      } else {
        ok = false;
      }
      r.NextToken();
      const int type = stored ? NameCode(kMemoryTypeNames, r.Token()) : 0;
      if (type != 0) {
        table[static_cast<std::size_t>(entry)].Type = static_cast<MemoryType>(type);
        r.NextToken();
      }
    }
  }
  r.Log().Line(text::kLogLoadMem, ok ? text::kLogOkTrue : text::kLogOkFalse);
  r.SetFlag(index, ok);
  return ok;
}

bool LoadCounterTable(ParReader& r, int index, Array1<CounterDef, kMaxCounterIn>& counters) {
  r.Log().Line(text::kLogLoadCounterCfg, r.Token());
  for (CounterDef& c : counters) {
    c.Value = 0.0;
    c.Factor = 1.0;
    c.PrevValue = 0.0;
    c.Period = CounterPeriod::Real;
  }
  bool ok = true;
  if (!r.TokenIs("NONE")) {
    while (!r.TokenIs("DEF_COUNTER_END") && !r.AtFileEnd()) {
      const int entry = ByteIndex(r);
      r.NextToken();
      const int period = NameCode(kPeriodNames, r.Token());
      r.NextToken();
      const double factor = RealOrMarker(r);
      r.NextToken();
      const double value = RealOrMarker(r);
      if (counters.Contains(entry) && period != 0) {
        CounterDef& c = counters[static_cast<std::size_t>(entry)];
        c.Period = static_cast<CounterPeriod>(period);
        c.Value = value;
        c.Factor = factor;
      } else {
        ok = false;
      }
      r.NextToken();
    }
  }
  r.SetFlag(index, ok);
  return ok;
}

bool LoadAnalogLimits(ParReader& r, int index, Array1<AnalogLimit, kMaxAnalogIn>& limits) {
  r.Log().Line(text::kLogLoadAnalogs, r.Token());
  for (AnalogLimit& l : limits) {
    l.High = kLimitsHigh;
    l.Low = 0.0;
    l.Third = 0.0;
  }
  bool ok = true;
  if (!r.TokenIs("NONE")) {
    while (!r.TokenIs("ANALOG_LIMITS_END") && !r.AtFileEnd()) {
      const int entry = ByteIndex(r);
      std::array<std::optional<double>, 3> reals;
      for (auto& v : reals) {
        r.NextToken();
        v = ParseReal(r.Token());
      }
      if (limits.Contains(entry) && reals[0] && reals[1] && reals[2]) {
        AnalogLimit& l = limits[static_cast<std::size_t>(entry)];
        l.Low = *reals[0];
        l.High = *reals[1];
        l.Third = *reals[2];
        r.Log().Line(text::kLogLoadAnalogsIndex, RightAligned3(entry));
      } else {
        ok = false;
      }
      r.NextToken();
    }
  }
  r.SetFlag(index, ok);
  return ok;
}

bool LoadPhone(ParReader& r, int index, StationRecord& station) {
  std::string_view number = r.Token();
  station.PhoneDial = !number.empty() && number.front() == 'D' ? 1 : 0;
  if (station.PhoneDial) number.remove_prefix(1);
  station.Phone = number;
  r.Log().Line(text::kLogPhone, station.Phone.view());
  r.SetFlag(index, true);
  r.Config().SelfReading = 0;
  return true;
}

bool LoadQq(ParReader& r, int index, StationRecord& station) {
  r.Config().SelfReading = 0;
  const int direction = NameCode(kQqDirectionNames, r.Token());
  if (direction == 0) {
    r.SetFlag(index, false);
    return false;
  }
  QqVariable v;
  v.Direction = static_cast<QqDirection>(direction);
  r.NextToken();
  const auto key = r.WordValue();  // a key that is not a number rejects the line
  r.NextToken();
  v.Block = r.ByteValue().value_or(0);
  r.NextToken();
  v.Group = r.ByteValue().value_or(0);
  r.NextToken();
  v.Item = r.ByteValue().value_or(0);
  r.NextToken();
  const int type = NameCode(kQqTypeNames, r.Token());
  if (!key || type == 0) {
    r.SetFlag(index, false);
    return false;
  }
  v.Key = *key;
  v.Type = static_cast<QqType>(type);
  AppendQqVariable(station, v);
  r.SetFlag(index, true);
  return true;
}

bool LoadMemoryBlock(ParReader& r, int index, StationRecord& station) {
  MemoryBlock block;
  int byteCount = 0;
  bool failed = false;
  // A word that is not a number fails the block.
  auto readWord = [&](std::uint16_t& target) {
    r.NextToken();
    const auto v = r.WordValue();
    if (v) target = *v;
    else failed = true;
  };
  for (;;) {
    if (r.TokenIs("ADDR")) readWord(block.Addr);
    if (!failed && r.TokenIs("CHANNEL")) readWord(block.Channel);
    if (!failed && r.TokenIs("CHANNEL_READ")) readWord(block.ChannelRead);
    if (!failed && r.TokenIs("TYPES")) failed = !ReadBlockTypes(r, block, byteCount);
    r.NextToken();
    if (failed || r.TokenIs("MEMORY_BLOCK_END") || r.AtFileEnd()) break;
  }
  block.ByteCount = static_cast<std::uint8_t>(byteCount);
  const bool accepted = !failed && block.Addr != kNoAddress && block.Channel != 0 &&
                        block.ChannelRead != 0 && byteCount != 0 && r.TokenIs("MEMORY_BLOCK_END");
  if (accepted) AppendMemoryBlock(station, block);
  r.SetFlag(index, accepted);
  return accepted;
}

}  // namespace qz
