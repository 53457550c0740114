#include "load_trace.h"

namespace qz::tool {

namespace {

void Extend(bool& open, std::vector<SkippedRun>& runs, std::string_view token, int line) {
  if (open && !runs.empty() && runs.back().Line == line) {
    runs.back().Tokens.emplace_back(token);
  } else {
    runs.push_back({line, {std::string(token)}});
  }
  open = true;
}

}  // namespace

void LoadTrace::SkippedBeforeGroup(std::string_view groupName, std::string_view rawToken, int line) {
  unknownRunOpen_ = false;
  if (outsideRunOpen_ && !outside_.empty() && outside_.back().Run.Line == line &&
      outside_.back().SoughtGroup == groupName) {
    outside_.back().Run.Tokens.emplace_back(rawToken);
    return;
  }
  outside_.push_back({std::string(groupName), {line, {std::string(rawToken)}}});
  outsideRunOpen_ = true;
}

void LoadTrace::GroupFound(std::string_view groupName, int line) {
  groups_.push_back({std::string(groupName), line, {}, {}});
  unknownRunOpen_ = outsideRunOpen_ = false;
}

void LoadTrace::UnknownInGroup(std::string_view rawToken, int line) {
  if (groups_.empty()) return;
  Extend(unknownRunOpen_, groups_.back().Unknown, rawToken, line);
}

void LoadTrace::KeywordFound(int index, std::string_view keyword, int line) {
  unknownRunOpen_ = false;
  if (groups_.empty()) return;
  KeywordSeen k;
  k.Index = index;
  k.Name = keyword;
  k.Line = line;
  groups_.back().Keywords.push_back(std::move(k));
}

void LoadTrace::ValueRead(const Value& value) {
  if (groups_.empty() || groups_.back().Keywords.empty()) return;
  KeywordSeen& k = groups_.back().Keywords.back();
  k.HasValue = true;
  k.FirstValue = value.FirstToken;
  k.ValueLine = value.Line;
  k.LastLine = value.LastLine;
  k.Accepted = value.Accepted;
}

const GroupSeen* LoadTrace::StationGroup(int n) const {
  int seen = 0;
  for (const GroupSeen& g : groups_) {
    if (g.Name == "[STATION]" && ++seen == n) return &g;
  }
  return nullptr;
}

const KeywordSeen* LastKeyword(const GroupSeen& group, std::string_view name) {
  for (auto it = group.Keywords.rbegin(); it != group.Keywords.rend(); ++it) {
    if (TokenEquals(it->Name, name)) return &*it;
  }
  return nullptr;
}

}  // namespace qz::tool
