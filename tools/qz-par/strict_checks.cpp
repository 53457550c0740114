#include "strict_checks.h"

#include <algorithm>
#include <span>

#include "config/par_global.h"
#include "config/par_reader.h"
#include "config/par_stations.h"
#include "diag/cp1250.h"
#include "diag/texts.h"
#include "serial/serial_port.h"

namespace qz::tool {

namespace {

constexpr std::string_view kGroupNames[] = {text::kGroupCom, text::kGroupGlobal, text::kGroupStation};

bool IsGroupName(std::string_view token) {
  return std::any_of(std::begin(kGroupNames), std::end(kGroupNames),
                     [&](std::string_view g) { return TokenEquals(token, g); });
}

// A group name with other bytes glued to it (a byte order mark, a stray
// character): the reader does not see the group.
std::string_view GarbledGroupName(std::string_view token) {
  const std::string upper = UpperAscii(token);
  for (std::string_view g : kGroupNames) {
    if (upper.size() > g.size() && upper.find(g) != std::string::npos) return g;
  }
  return {};
}

std::span<const std::string_view> KeywordsOf(std::string_view group) {
  if (group == text::kGroupCom) return ComKeywords();
  if (group == text::kGroupGlobal) return GlobalKeywords();
  return StationKeywords();
}

// Keywords that a group may carry more than once.
bool Repeatable(std::string_view keyword) {
  return keyword == "QQ" || keyword == "MEMORY_BLOCK" || keyword == "END";
}

std::string Utf8(std::string_view cp1250) { return Cp1250ToUtf8(cp1250); }

std::string Joined(const std::vector<std::string>& tokens, std::size_t from) {
  std::string out;
  for (std::size_t i = from; i < tokens.size(); ++i) {
    if (!out.empty()) out.push_back(' ');
    out.append(Utf8(tokens[i]));
  }
  return out;
}

std::size_t EditDistance(std::string_view a, std::string_view b) {
  std::vector<std::size_t> row(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    std::size_t diagonal = row[0];
    row[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t up = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = up;
    }
  }
  return row[b.size()];
}

// The first token of a run is the word at fault; "$DIAGS" is allowed anywhere.
std::vector<std::string> WithoutMarker(const std::vector<std::string>& tokens) {
  std::vector<std::string> out;
  for (const std::string& t : tokens) {
    if (t != text::kDiagsMarker) out.push_back(t);
  }
  return out;
}

void UnknownInGroup(const GroupSeen& g, std::vector<Finding>& out, int& swallowLine) {
  for (const SkippedRun& run : g.Unknown) {
    const std::vector<std::string> tokens = WithoutMarker(run.Tokens);
    if (tokens.empty()) continue;
    const std::string& word = tokens.front();
    if (IsGroupName(word)) {
      if (swallowLine == 0) swallowLine = run.Line;
      out.push_back({run.Line, "missing-end",
                     Utf8(word) + " comes before the END of the " + g.Name + " group of line " +
                         std::to_string(g.Line) + ": an END is missing there, and the reader takes " + Utf8(word) +
                         " and what follows for part of that group"});
      continue;
    }
    std::string text = Utf8(word) + " is no keyword of " + g.Name + " and is skipped";
    if (tokens.size() > 1) text += " with " + Joined(tokens, 1);
    if (const std::string guess = ClosestKeyword(word, g.Name); !guess.empty()) {
      text += " (did you mean " + guess + "?)";
    }
    out.push_back({run.Line, "unknown-keyword", text});
  }
}

void KeywordsGivenTwice(const GroupSeen& g, int swallowLine, std::vector<Finding>& out) {
  for (std::size_t i = 0; i < g.Keywords.size(); ++i) {
    const KeywordSeen& k = g.Keywords[i];
    if (Repeatable(k.Name) || (swallowLine != 0 && k.Line > swallowLine)) continue;
    for (std::size_t j = 0; j < i; ++j) {
      if (g.Keywords[j].Index != k.Index) continue;
      out.push_back({k.Line, "duplicate-keyword",
                     k.Name + " is given again (first on line " + std::to_string(g.Keywords[j].Line) + " in " +
                         g.Name + "); the later value counts"});
      break;
    }
  }
}

void RejectedValues(const GroupSeen& g, std::vector<Finding>& out) {
  for (const KeywordSeen& k : g.Keywords) {
    if (!k.HasValue || k.Accepted) continue;
    std::string text = "the value of " + k.Name + " in " + g.Name + " is not accepted: " + Utf8(k.FirstValue);
    if (k.LastLine > k.ValueLine) text += " (its entries run to line " + std::to_string(k.LastLine) + ")";
    out.push_back({k.ValueLine, "bad-value", text});
  }
}

void OutsideGroups(const LoadTrace& trace, std::vector<Finding>& out) {
  std::string misplacedSought;
  for (const OutsideRun& r : trace.Outside()) {
    const std::vector<std::string> tokens = WithoutMarker(r.Run.Tokens);
    if (tokens.empty()) continue;
    if (IsGroupName(tokens.front())) {
      misplacedSought = r.SoughtGroup;
      out.push_back({r.Run.Line, "group-order",
                     Utf8(tokens.front()) + " is skipped with everything up to " + r.SoughtGroup +
                         ": the reader looks for " + r.SoughtGroup +
                         " next (the groups come in the order [COM], [GLOBAL], then the [STATION] groups)"});
      continue;
    }
    if (const std::string_view g = GarbledGroupName(tokens.front()); !g.empty()) {
      misplacedSought = r.SoughtGroup;
      out.push_back({r.Run.Line, "group-name",
                     Utf8(tokens.front()) + " is no group name: the bytes around " + std::string(g) +
                         " make it another word, and the reader skips everything up to " + r.SoughtGroup});
      continue;
    }
    if (misplacedSought == r.SoughtGroup) continue;  // inside the skipped group
    out.push_back({r.Run.Line, "outside-group", "text outside any group is skipped: " + Joined(tokens, 0)});
  }
}

const GroupSeen* LastGroup(const LoadTrace& trace, std::string_view name) {
  const auto& groups = trace.Groups();
  for (auto it = groups.rbegin(); it != groups.rend(); ++it) {
    if (it->Name == name) return &*it;
  }
  return nullptr;
}

void PortSettings(const DriverConfig& s, const LoadTrace& trace, std::vector<Finding>& out) {
  const GroupSeen* com = LastGroup(trace, text::kGroupCom);
  if (!com) return;
  // The driver holds the whole rate; the port takes only the rates of its list.
  if (const KeywordSeen* baud = LastKeyword(*com, "BAUD");
      baud && baud->Accepted && !TSerial::IsAcceptedBaudrate(s.Baud)) {
    out.push_back({baud->ValueLine, "baud",
                   "BAUD " + std::to_string(s.Baud) +
                       " is no rate serial ports offer (110, 300, 600, 1200, 2400, 4800, 9600, 14400, 19200, "
                       "38400, 56000, 57600, 115200, 128000, 256000): the line keeps 9600 Bd"});
  }
  if (const KeywordSeen* bits = LastKeyword(*com, "BITS"); bits && bits->Accepted && s.DataBits != 7 && s.DataBits != 8) {
    out.push_back({bits->ValueLine, "framing",
                   "BITS " + std::to_string(s.DataBits) + ": the port has 7 or 8 data bits; the driver opens it with 7"});
  }
  if (const KeywordSeen* stop = LastKeyword(*com, "STOP"); stop && stop->Accepted && s.StopBits != 1 && s.StopBits != 2) {
    out.push_back({stop->ValueLine, "framing",
                   "STOP " + std::to_string(s.StopBits) + ": the port has 1 or 2 stop bits; the driver opens it with 2"});
  }
}

void SharedAddresses(const DriverConfig& s, const LoadTrace& trace, std::vector<Finding>& out) {
  for (int n = 2; n <= s.StationCount; ++n) {
    for (int m = 1; m < n; ++m) {
      if (s.Station(m).Address != s.Station(n).Address) continue;
      const GroupSeen* g = trace.StationGroup(n);
      const KeywordSeen* k = g ? LastKeyword(*g, "ADDRESS") : nullptr;
      const GroupSeen* first = trace.StationGroup(m);
      const KeywordSeen* firstK = first ? LastKeyword(*first, "ADDRESS") : nullptr;
      const int address = s.Station(n).Address;
      out.push_back({k ? k->ValueLine : (g ? g->Line : 0), "duplicate-address",
                     "station " + std::to_string(n) + " has ADDRESS " + std::to_string(address) + " like station " +
                         std::to_string(m) + (firstK ? " (line " + std::to_string(firstK->ValueLine) + ")" : "") +
                         ": every answer from address " + std::to_string(address) + " goes to station " +
                         std::to_string(m)});
      break;
    }
  }
}

}  // namespace

std::string ClosestKeyword(std::string_view word, std::string_view group) {
  const std::string upper = UpperAscii(word);
  std::string best;
  std::size_t bestDistance = 0;
  for (std::string_view k : KeywordsOf(group)) {
    const std::size_t d = EditDistance(upper, UpperAscii(k));
    if (best.empty() || d < bestDistance) {
      best = k;
      bestDistance = d;
    }
  }
  // A guess only for a slip of a character or two, not for any word.
  const std::size_t allowed = std::max<std::size_t>(1, std::min<std::size_t>(2, upper.size() / 4));
  return bestDistance <= allowed ? best : std::string();
}

bool ParseBadKeyword(std::string_view message, BadKeyword& out) {
  if (!message.starts_with(text::kErrBadKeyword)) return false;
  message.remove_prefix(text::kErrBadKeyword.size());
  const std::size_t sep = message.rfind(text::kErrKeywordGroupSeparator);
  if (sep == std::string_view::npos) return false;
  out.Keyword = message.substr(0, sep);
  out.Group = message.substr(sep + text::kErrKeywordGroupSeparator.size());
  return true;
}

int ErrorLine(std::string_view message, const LoadTrace& trace, int fallback) {
  if (message.starts_with(text::kErrGroupMissing)) {
    const std::string_view group = message.substr(text::kErrGroupMissing.size());
    // A group that is there but was passed over: out of order or swallowed.
    for (const OutsideRun& r : trace.Outside()) {
      for (const std::string& t : r.Run.Tokens) {
        if (TokenEquals(t, group) || GarbledGroupName(t) == group) return r.Run.Line;
      }
    }
    for (const GroupSeen& g : trace.Groups()) {
      for (const SkippedRun& run : g.Unknown) {
        for (const std::string& t : run.Tokens) {
          if (TokenEquals(t, group)) return run.Line;
        }
      }
    }
    return fallback;
  }
  if (message.starts_with(text::kErrGroupNoEnd)) {
    const GroupSeen* g = LastGroup(trace, message.substr(text::kErrGroupNoEnd.size()));
    if (!g) return fallback;
    const KeywordSeen* end = LastKeyword(*g, "END");
    return end ? end->Line : g->Line;  // an END that is the last thing in the file does not count
  }
  BadKeyword bad;
  if (ParseBadKeyword(message, bad)) {
    const GroupSeen* g = LastGroup(trace, bad.Group);
    if (!g) return fallback;
    const KeywordSeen* k = LastKeyword(*g, bad.Keyword);
    if (k && k->HasValue) return k->ValueLine;
    return g->Line;  // not given at all
  }
  return fallback;
}

std::vector<Finding> StrictFindings(const DriverState& state, const LoadTrace& trace) {
  std::vector<Finding> out;
  OutsideGroups(trace, out);
  for (const GroupSeen& g : trace.Groups()) {
    int swallowLine = 0;
    UnknownInGroup(g, out, swallowLine);
    KeywordsGivenTwice(g, swallowLine, out);
    RejectedValues(g, out);
  }
  PortSettings(state.Config, trace, out);
  SharedAddresses(state.Config, trace, out);
  return out;
}

}  // namespace qz::tool
