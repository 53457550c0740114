#include <charconv>
#include <cmath>
#include <string>
#include <vector>

#include "commands.h"
#include "station.h"

namespace qz::sim {

namespace {

// A whole number that fits an int; "1e88" is no index.
bool ParseIndex(std::string_view word, int& out) {
  double v = 0;
  if (!ParseNumber(word, v) || !(v >= -2147483648.0 && v <= 2147483647.0) || v != std::floor(v)) return false;
  out = static_cast<int>(v);
  return true;
}

// "a.b.c" or "a.b" into numbers.
bool ParseDotted(std::string_view word, std::vector<int>& out, std::size_t count) {
  out.clear();
  std::size_t start = 0;
  while (true) {
    const std::size_t dot = word.find('.', start);
    int n = 0;
    if (!ParseIndex(word.substr(start, dot == std::string_view::npos ? std::string_view::npos : dot - start), n)) {
      return false;
    }
    out.push_back(n);
    if (dot == std::string_view::npos) break;
    start = dot + 1;
  }
  return out.size() == count;
}

}  // namespace

bool ParseItemRef(const std::vector<std::string>& words, std::size_t& pos, ItemRef& out, std::string& error) {
  using A = ItemRef::Area;
  if (pos + 1 >= words.size()) {
    error = "an item needs a kind and an index (bi 1, ai 2, qq 1.1.2, mem 0x300 real, blk 1.2)";
    return false;
  }
  const std::string& kind = words[pos];
  const std::string& index = words[pos + 1];
  out = ItemRef{};
  static const std::pair<const char*, A> kSimple[] = {{"bi", A::BI}, {"bo", A::BO}, {"ai", A::AI},
                                                      {"ct", A::CT}, {"mi", A::MI}, {"mo", A::MO}};
  for (const auto& [name, area] : kSimple) {
    if (kind != name) continue;
    out.Where = area;
    if (!ParseIndex(index, out.Index)) {
      error = "bad index '" + index + "'";
      return false;
    }
    pos += 2;
    return true;
  }
  std::vector<int> parts;
  if (kind == "qq") {
    if (!ParseDotted(index, parts, 3) || parts[0] < 0 || parts[0] > 255 || parts[1] < 0 || parts[1] > 255 ||
        parts[2] < 0 || parts[2] > 255) {
      error = "a QQ variable is block.group.item, each 0..255: '" + index + "'";
      return false;
    }
    out.Where = A::QQ;
    for (int i = 0; i < 3; ++i) out.Id[i] = static_cast<std::uint8_t>(parts[static_cast<std::size_t>(i)]);
    pos += 2;
    return true;
  }
  if (kind == "blk") {
    if (!ParseDotted(index, parts, 2)) {
      error = "a block item is block.item: '" + index + "'";
      return false;
    }
    out.Where = A::BLK;
    out.Index = parts[0];
    out.Item = parts[1];
    pos += 2;
    return true;
  }
  if (kind == "mem") {
    double a = 0;
    if (!ParseNumber(index, a) || a < 0 || a > 65535 || a != static_cast<int>(a)) {
      error = "a memory address is 0..FFFFh: '" + index + "'";
      return false;
    }
    out.Where = A::MEM;
    out.Address = static_cast<std::uint16_t>(a);
    pos += 2;
    if (pos < words.size()) {
      const std::string& t = words[pos];
      if (t == "byte") out.Type = 1;
      else if (t == "word") out.Type = 2;
      else if (t == "real") out.Type = 3;
      else return true;
      ++pos;
    }
    return true;
  }
  error = "unknown item kind '" + kind + "' (bi bo ai ct mi mo qq mem blk)";
  return false;
}

std::string ItemName(const ItemRef& item) {
  using A = ItemRef::Area;
  switch (item.Where) {
    case A::BI: return "bi " + std::to_string(item.Index);
    case A::BO: return "bo " + std::to_string(item.Index);
    case A::AI: return "ai " + std::to_string(item.Index);
    case A::CT: return "ct " + std::to_string(item.Index);
    case A::MI: return "mi " + std::to_string(item.Index);
    case A::MO: return "mo " + std::to_string(item.Index);
    case A::QQ:
      return "qq " + std::to_string(item.Id[0]) + "." + std::to_string(item.Id[1]) + "." + std::to_string(item.Id[2]);
    case A::MEM: return "mem " + std::to_string(item.Address);
    case A::BLK: return "blk " + std::to_string(item.Index) + "." + std::to_string(item.Item);
  }
  return "?";
}

}  // namespace qz::sim
