#include "request_text.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "engine/request_queue.h"
#include "hdb_file.h"
#include "history/history_image.h"
#include "host/driver_state.h"
#include "protocol/float24.h"
#include "protocol/framing.h"
#include "protocol/ieee_single.h"
#include "protocol/text_format.h"

namespace qz::readers {

namespace {

std::uint8_t At(std::string_view b, std::size_t i) { return i < b.size() ? static_cast<std::uint8_t>(b[i]) : 0; }
std::uint16_t WordAt(std::string_view b, std::size_t i) {
  return static_cast<std::uint16_t>(At(b, i) | At(b, i + 1) << 8);
}
std::string Hex2(std::uint8_t b) { return HexByte(b); }
std::string Hex4(std::uint16_t w) { return HexWord(w) + "h"; }

struct KindRow {
  int Kind;
  const char* Name;
};
constexpr KindRow kKinds[] = {
    {0, "BI"},        {1, "AI"},        {2, "CT"},         {3, "CT zero"},     {4, "BO"},
    {5, "MO"},        {6, "MI"},        {7, "AImorven"},   {8, "KI"},          {9, "KO"},
    {15, "QQ write"}, {16, "QQ read"},  {17, "MB read"},   {18, "MB write"},   {72, "samples"},
    {76, "samples"},  {80, "samples"},  {136, "samples"},  {140, "samples"},   {144, "samples"},
    {255, "restart"},
};

int MemoryIndex(const StationRecord& s, bool inputs, std::uint16_t address) {
  const int count = inputs ? s.NumMemoryIn : s.NumMemoryOut;
  for (int j = 1; j <= count; ++j) {
    const MemoryDef& m = inputs ? s.MemoryIn[static_cast<std::size_t>(j)] : s.MemoryOut[static_cast<std::size_t>(j)];
    if (m.Address == address) return j;
  }
  return 0;
}

std::string Triplets(std::string_view body) {
  std::string out;
  for (const auto& t : QqTriplets(body)) out += " " + Hex2(t[0]) + "." + Hex2(t[1]) + "." + Hex2(t[2]);
  return out;
}

std::string MemoryWrite(std::string_view body, const StationRecord* s) {
  const std::uint16_t a = WordAt(body, 1);
  const std::uint8_t size = At(body, 3);
  const std::string_view data = body.size() > 4 ? body.substr(4) : std::string_view();
  double value = size == 1 ? At(data, 0) : size == 2 ? WordAt(data, 0) : DecodeFloat24(data);
  const int j = s ? MemoryIndex(*s, false, a) : 0;
  return (j ? "MO " + std::to_string(j) + " at " : "at ") + Hex4(a) + " = " + ValueText(value);
}

std::string MemoryRead(std::string_view body, const StationRecord* s, bool inputs) {
  const std::uint16_t a = WordAt(body, 1);
  const int count = At(body, 3);
  std::string item = "at " + Hex4(a) + ", " + std::to_string(count) + " bytes";
  if (!s || !inputs) return item;
  if (s->MemoryInArray && a == s->MemoryIn[1].Address) return "MI 1.." + std::to_string(s->NumMemoryIn) + " " + item;
  if (const int j = MemoryIndex(*s, true, a)) return "MI " + std::to_string(j) + " " + item;
  return item;
}

std::string HistoryRead(int kind, std::string_view body) {
  const std::uint32_t offset = static_cast<std::uint32_t>(kind - qz::KindByte(qz::RequestKind::HistoryFirst)) * 65536u + WordAt(body, 3);
  const std::uint8_t count = At(body, 5);
  std::string item = "bytes " + std::to_string(offset) + ".." + std::to_string(offset + count - 1);
  if (count != 0) {
    item += " (records " + std::to_string(offset / kHistoryRecordSize) + ".." +
            std::to_string((offset + count - 1) / kHistoryRecordSize) + ")";
  }
  return item;
}

std::string SampleRead(std::string_view body) {
  const auto a = static_cast<std::uint16_t>(WordAt(body, 3) - 0x8000);
  if (a % 186 != 0) return "at " + Hex4(WordAt(body, 3));
  const int first = 6 * (a / 186) + 1;
  return "samples " + std::to_string(first) + ".." + std::to_string(first + 5);
}

}  // namespace

std::string KindName(int kind) {
  if (kind >= qz::KindByte(qz::RequestKind::HistoryFirst) && kind <= qz::KindByte(qz::RequestKind::HistoryLast)) return "history";
  for (const KindRow& row : kKinds) {
    if (row.Kind == kind) return row.Name;
  }
  return "";
}

std::string HexBytes(std::string_view bytes) {
  std::string out = HexText(bytes);
  if (!out.empty()) out.pop_back();
  return out;
}

SentFrame SplitSentFrame(std::string_view frame, int prefixLength, std::size_t preSuffixLength) {
  SentFrame out;
  auto fits = [&](std::size_t start) {
    if (start + 2 > frame.size()) return false;
    const std::size_t length = 2 + At(frame, start + 1);
    return start + length <= frame.size() && CheckFrame(frame.substr(start, length));
  };
  std::size_t start = 0;
  if (prefixLength >= 0) {
    start = static_cast<std::size_t>(prefixLength);
    if (!fits(start)) return out;
  } else {
    while (start + 2 <= frame.size() && !fits(start)) ++start;
    if (start + 2 > frame.size()) return out;
  }
  out.Found = true;
  out.Message = std::string(frame.substr(start, 2 + At(frame, start + 1)));
  const std::string_view m = out.Message;
  std::size_t body = 0;
  if (At(m, 2) == 'Y' || At(m, 2) == 'y') {  // a request, or the acknowledgement of a report
    out.Address = At(m, 4);
    body = 6;
  } else {
    out.Address = At(m, 0);
    body = (At(m, 2) == 'T' || At(m, 2) == 't') ? 4u + At(m, 3) : 2u;
  }
  const std::size_t end = m.size() - 1;  // the check byte
  if (body + preSuffixLength <= end) out.Body = std::string(m.substr(body, end - preSuffixLength - body));
  return out;
}

std::vector<std::array<std::uint8_t, 3>> QqTriplets(std::string_view body) {
  std::vector<std::array<std::uint8_t, 3>> out;
  const std::string_view data = body.size() > 2 ? body.substr(2) : std::string_view();
  const bool write = At(body, 1) == 'Q';
  const std::size_t end = write ? std::min<std::size_t>(data.size(), 3) : data.size();
  for (std::size_t i = 0; i + 3 <= end; i += 3) out.push_back({At(data, i), At(data, i + 1), At(data, i + 2)});
  return out;
}

std::string ItemText(int kind, std::string_view body, const StationRecord* station) {
  switch (kind) {
    case 0: case 2: case 3: case 7: return "mask " + Hex2(At(body, 1));
    case 1: return "at " + Hex4(WordAt(body, 1)) + ", " + std::to_string(At(body, 3)) + " bytes";
    case 4: return "mask " + Hex2(At(body, 1)) + ", outputs " + HexBytes(body.size() > 2 ? body.substr(2) : "");
    case 5: return MemoryWrite(body, station);
    case 6: return MemoryRead(body, station, true);
    case 9: {
      std::string values;
      for (std::size_t v = 0; v < 8; ++v) values += " " + ValueText(DecodeFloat24(body.substr(std::min(body.size(), 2 + 3 * v))));
      return "MO 1..8 =" + values;
    }
    case 15: {
      const std::string_view data = body.size() > 5 ? body.substr(5) : std::string_view();
      const std::string triplet = Triplets(body);
      return (triplet.empty() ? triplet : triplet.substr(1)) + " = " + HexBytes(data) + " (" + std::to_string(LittleEndian32(data)) + ")";
    }
    case 16: {
      const std::string triplets = Triplets(body);
      return triplets.empty() ? triplets : triplets.substr(1);
    }
    case 17: return MemoryRead(body, nullptr, false);
    case 18: return "at " + Hex4(WordAt(body, 1)) + " = " + HexBytes(body.size() > 4 ? body.substr(4) : "");
    default: break;
  }
  if (KindName(kind) == "samples") return SampleRead(body);
  if (KindName(kind) == "history") return HistoryRead(kind, body);
  return HexBytes(body);
}

}  // namespace qz::readers
