// qz-par: checks a parameter file with the driver's own reader.
//
//   qz-par check FILE [--json] [--strict]
//   qz-par channels FILE [--csv]
//
// check prints the first error at the line of the token at fault (exit 1),
// or what the file configures, with warnings about whatever the driver
// would skip, ignore or misread (exit 0; with --strict, exit 3 when there
// are warnings). channels lists the host channel of every station item.
// Usage errors exit 2.

#include <CLI/CLI.hpp>

#include <cstdio>
#include <string>

#include "channel_map.h"
#include "check.h"
#include "diag/cp1250.h"
#include "summary.h"

#ifndef QZ_VERSION
#define QZ_VERSION "unknown"
#endif

namespace {

constexpr int kExitError = 1;
constexpr int kExitUsage = 2;
constexpr int kExitStrictWarnings = 3;

int Check(const std::string& file, bool json, bool strict) {
  const qz::tool::CheckOutcome r = qz::tool::CheckFile(file);
  if (!r.Loaded) {
    const std::string text = json ? qz::tool::JsonError(r) : qz::tool::TextError(r);
    std::fputs(text.c_str(), json ? stdout : stderr);
    return kExitError;
  }
  const std::string text = json ? qz::tool::JsonSummary(r) : qz::tool::TextSummary(r);
  std::fputs(text.c_str(), stdout);
  return strict && !r.Warnings.empty() ? kExitStrictWarnings : 0;
}

std::string TextTable(const std::vector<qz::tool::ChannelRow>& rows) {
  std::string out;
  char line[160];
  std::snprintf(line, sizeof line, "%7s %7s  %-20s %5s %4s  %s\n", "channel", "station", "kind", "index", "type",
                "access");
  out += line;
  for (const auto& r : rows) {
    std::snprintf(line, sizeof line, "%7d %7d  %-20s %5d %4d  %s\n", r.Channel, r.Station, r.Kind.c_str(), r.Index,
                  r.TypeCode, r.Access.c_str());
    out += line;
  }
  return out;
}

int Channels(const std::string& file, bool csv) {
  const qz::tool::CheckOutcome r = qz::tool::CheckFile(file);
  if (!r.Loaded) {
    std::fputs(qz::tool::TextError(r).c_str(), stderr);
    return kExitError;
  }
  const auto rows = qz::tool::ChannelMap(*r.State);
  const std::string text = csv ? qz::tool::ChannelCsv(rows) : TextTable(rows);
  std::fputs(text.c_str(), stdout);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"Checks a parameter file of the Vorlan line driver with the driver's own reader."};
  app.set_version_flag("--version", std::string("qz-par ") + QZ_VERSION);
  app.require_subcommand(1);

  std::string file;
  bool json = false, strict = false, csv = false;
  CLI::App* check = app.add_subcommand(
      "check", "Load the file as the driver does: the first error at its line (exit 1), or a summary with warnings");
  check->add_option("FILE", file, "the parameter file")->required();
  check->add_flag("--json", json, "write the result as JSON");
  check->add_flag("--strict", strict, "exit 3 when there is any warning");

  CLI::App* channels =
      app.add_subcommand("channels", "List the host channel of every station item and QQ variable");
  channels->add_option("FILE", file, "the parameter file")->required();
  channels->add_flag("--csv", csv, "write CSV: channel,station,kind,index,type,access");

  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp&) {
    // Every option of every subcommand on one page.
    std::fputs(app.help("", CLI::AppFormatMode::All).c_str(), stdout);
    return 0;
  } catch (const CLI::ParseError& e) {
    const int rc = app.exit(e);
    return rc == 0 ? 0 : kExitUsage;
  }
  if (check->parsed()) return Check(file, json, strict);
  return Channels(file, csv);
}
