#include "options.h"

#include <CLI/CLI.hpp>

namespace qzhost {

std::optional<int> ParseOptions(int argc, const char* const* argv, Options& o, std::ostream& out, std::ostream& err) {
  CLI::App app{"qz-host: runs the line driver as the SCADA host does and shows the line live: station values, "
               "QQ variables, memory blocks, station states, the driver's event list and statistics. Commands are "
               "read from standard input while it runs (typed, pasted or piped; \"help\" lists them).",
               "qz-host"};
  app.set_version_flag("--version", std::string("qz-host ") + PROJECT_VERSION);
  app.add_option("--par", o.Par, "parameter file of the line")->required();
  app.add_option("--driver", o.Driver, "driver library to load")->capture_default_str();
  app.add_option("--name", o.Name, "the host's name for the driver (names the HDB and log files)")
      ->capture_default_str();
  app.add_option("--level", o.Level, "access level given to Init")->capture_default_str();
  app.add_option("--interval", o.IntervalMs, "milliseconds between two readings")
      ->check(CLI::Range(50, 3600000))
      ->capture_default_str();
  app.add_option("--for", o.ForSeconds, "stop after this many seconds (0: run until quit or Ctrl-C)")
      ->check(CLI::NonNegativeNumber)
      ->capture_default_str();
  app.add_flag("--json", o.Json, "one JSON line per reading, command and event batch instead of the screen");
  app.add_flag("--show", o.Show, "show the driver's own status window (DriverProc 1)");
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return app.exit(e, out, err) == 0 ? 0 : 2;
  }
  return std::nullopt;
}

}  // namespace qzhost
