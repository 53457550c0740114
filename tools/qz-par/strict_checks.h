#pragma once
// What the driver's reader accepts without a word but a careful reader of
// the file would question: skipped words, groups without END, values given
// twice or rejected, stations that share an address, port settings the
// line cannot have. And the line of the token behind the reader's error.

#include <string>
#include <vector>

#include "finding.h"
#include "host/driver_state.h"
#include "load_trace.h"

namespace qz::tool {

std::vector<Finding> StrictFindings(const DriverState& state, const LoadTrace& trace);

// The line at fault for a message of the reader (ParseErrorText): the bad
// value, the group without END, the place of a misplaced group. fallback
// when the trace knows nothing better (the reader's last line).
int ErrorLine(std::string_view messageCp1250, const LoadTrace& trace, int fallback);

// The keyword behind a "bad keyword" message and its group, when it is one.
struct BadKeyword {
  std::string Keyword;
  std::string Group;
};
bool ParseBadKeyword(std::string_view messageCp1250, BadKeyword& out);

// The known keyword closest to a misspelt one, or empty.
std::string ClosestKeyword(std::string_view word, std::string_view group);

}  // namespace qz::tool
