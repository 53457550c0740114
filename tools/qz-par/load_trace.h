#pragma once
// What the driver's reader met on its way through a parameter file, with
// the line of every group, keyword, value and skipped token. Recorded while
// the real reader loads the file, so the checker sees exactly what the
// driver sees.

#include <string>
#include <vector>

#include "config/par_reader.h"

namespace qz::tool {

struct KeywordSeen {
  int Index = 0;
  std::string Name;
  int Line = 0;
  bool HasValue = false;
  std::string FirstValue;  // as written
  int ValueLine = 0;
  int LastLine = 0;        // where the keyword's reader stopped
  bool Accepted = true;
};

// Tokens skipped in a row on one line: the first is the one at fault, the
// rest are taken for its values.
struct SkippedRun {
  int Line = 0;
  std::vector<std::string> Tokens;
};

struct GroupSeen {
  std::string Name;  // "[COM]", "[GLOBAL]", "[STATION]"
  int Line = 0;
  std::vector<KeywordSeen> Keywords;
  std::vector<SkippedRun> Unknown;  // no keyword of the group
};

// Tokens the search for a group passed over.
struct OutsideRun {
  std::string SoughtGroup;
  SkippedRun Run;
};

class LoadTrace : public ParObserver {
 public:
  void SkippedBeforeGroup(std::string_view groupName, std::string_view rawToken, int line) override;
  void GroupFound(std::string_view groupName, int line) override;
  void UnknownInGroup(std::string_view rawToken, int line) override;
  void KeywordFound(int index, std::string_view keyword, int line) override;
  void ValueRead(const Value& value) override;

  const std::vector<GroupSeen>& Groups() const { return groups_; }
  const std::vector<OutsideRun>& Outside() const { return outside_; }
  // The n-th [STATION] group (1-based), or null.
  const GroupSeen* StationGroup(int n) const;

 private:
  std::vector<GroupSeen> groups_;
  std::vector<OutsideRun> outside_;
  bool unknownRunOpen_ = false;  // the last thing read in the group was skipped
  bool outsideRunOpen_ = false;
};

// The last occurrence of the keyword in the group, or null.
const KeywordSeen* LastKeyword(const GroupSeen& group, std::string_view name);

}  // namespace qz::tool
