// qz-par: checks a parameter file with the driver's own reader.
//
//   qz-par check [--json] FILE
//
// Prints the first error with the line where the reader stopped (exit 1),
// or what the file configures with warnings about dead host channels and
// values the driver ignores (exit 0). Usage errors exit 2.

#include <cstdio>
#include <string>
#include <string_view>

#include "channel_claims.h"
#include "config/driver_state.h"
#include "config/par_file.h"
#include "summary.h"

namespace {

int Usage() {
  std::fputs("usage: qz-par check [--json] FILE\n", stderr);
  return 2;
}

int Check(const std::string& file, bool json) {
  qz::DriverState state;
  qz::InitDriverState(state);
  state.DriverName = "QZPAR";
  state.ParFileName = file;
  qz::ParLoadReport report;
  report.DryRun = true;  // checking writes no log
  const bool ok = qz::LoadParameterFile(state, nullptr, &report);
  if (!ok) {
    const std::string text = json ? qz::tool::JsonError(file, report.Line, state.ParseErrorText.str())
                                  : qz::tool::TextError(file, report.Line, state.ParseErrorText.str());
    std::fputs(text.c_str(), json ? stdout : stderr);
    return 1;
  }
  qz::tool::CheckResult result{file, &state, &report, qz::tool::FindConflicts(qz::tool::ClaimsOf(state))};
  const std::string text = json ? qz::tool::JsonSummary(result) : qz::tool::TextSummary(result);
  std::fputs(text.c_str(), stdout);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3 || std::string_view(argv[1]) != "check") return Usage();
  bool json = false;
  std::string file;
  for (int i = 2; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--json") json = true;
    else if (file.empty() && !arg.starts_with("--")) file = arg;
    else return Usage();
  }
  if (file.empty()) return Usage();
  return Check(file, json);
}
