#include "check.h"

#include <algorithm>
#include <fstream>
#include <sstream>

#include "diag/cp1250.h"
#include "diag/texts.h"
#include "encoding_check.h"
#include "load_trace.h"
#include "strict_checks.h"

namespace qz::tool {

namespace {

std::unique_ptr<DriverState> FreshState(const std::string& file) {
  auto state = std::make_unique<DriverState>();
  InitDriverState(*state);
  state->Config.DriverName = "QZPAR";
  state->Config.ParFileName = file;
  return state;
}

// A successful load that ended its stations early: the failing group.
void StationsEnd(const CheckOutcome& o, const LoadTrace& trace, std::vector<Finding>& out) {
  if (o.Report.StationsEnd.empty()) return;
  const int line = ErrorLine(o.Report.StationsEnd, trace, o.Report.StationsEndLine);
  out.push_back({line, "stations-end",
                 Cp1250ToUtf8(o.Report.StationsEnd) + " - the stations end here; station " +
                     std::to_string(o.State->Config.StationCount) +
                     " is counted with what was read so far and later groups are not read"});
}

void Conflicts(const CheckOutcome& o, std::vector<Finding>& out) {
  for (const ChannelConflict& c : o.Conflicts) {
    const int count = c.LastChannel - c.FirstChannel + 1;
    const std::string range = count == 1 ? std::to_string(c.FirstChannel)
                                         : std::to_string(c.FirstChannel) + "-" + std::to_string(c.LastChannel);
    auto claim = [&](const ChannelClaim& x) {
      std::string s = "station " + std::to_string(x.Station) + " " + x.What;
      if (x.Count > 1) {
        s.append(" ").append(std::to_string(x.FirstItem));
        if (count > 1) s.append("-").append(std::to_string(x.FirstItem + count - 1));
      }
      return s;
    };
    out.push_back({0, "dead-channel",
                   "channel" + std::string(count > 1 ? "s " : " ") + range + ": " + claim(c.Loser) +
                       " never reach the host: " + claim(c.Winner) + " claims them first"});
  }
}

}  // namespace

CheckOutcome CheckText(const std::string& file, std::string_view bytes) {
  CheckOutcome o;
  o.File = file;
  o.State = FreshState(file);
  LoadTrace trace;
  o.Report.DryRun = true;  // checking writes no log
  o.Report.Observer = &trace;
  o.Loaded = LoadParameterText(o.State->Config, o.State->Log, nullptr, bytes, &o.Report);
  o.Report.Observer = nullptr;

  std::vector<Finding> warnings = EncodingFindings(bytes);
  std::vector<Finding> strict = StrictFindings(*o.State, trace);
  if (!o.Loaded) {
    o.ErrorCp1250 = o.State->Config.ParseErrorText.str();
    o.ErrorLine = ErrorLine(o.ErrorCp1250, trace, o.Report.Line);
    // The error itself names the rejected value.
    BadKeyword bad;
    if (ParseBadKeyword(o.ErrorCp1250, bad)) {
      std::erase_if(strict, [&](const Finding& f) { return f.Kind == "bad-value" && f.Line == o.ErrorLine; });
    }
  } else {
    o.Conflicts = FindConflicts(ClaimsOf(*o.State));
  }
  warnings.insert(warnings.end(), strict.begin(), strict.end());
  StationsEnd(o, trace, warnings);
  Conflicts(o, warnings);
  // Line order; findings without a line last.
  std::stable_sort(warnings.begin(), warnings.end(), [](const Finding& a, const Finding& b) {
    const int la = a.Line == 0 ? INT32_MAX : a.Line;
    const int lb = b.Line == 0 ? INT32_MAX : b.Line;
    return la < lb;
  });
  o.Warnings = std::move(warnings);
  return o;
}

CheckOutcome CheckFile(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  std::ostringstream bytes;
  if (in) bytes << in.rdbuf();
  if (!in || in.bad()) {
    CheckOutcome o;
    o.File = file;
    o.State = FreshState(file);
    o.ErrorCp1250 = std::string(text::kParFileOpenError) + Utf8ToCp1250(file);
    return o;
  }
  return CheckText(file, bytes.str());
}

}  // namespace qz::tool
