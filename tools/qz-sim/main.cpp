// qz-sim: plays the Vorlan stations of a parameter file on a serial line.
//
//   qz-sim --par FILE [--pty-link PATH | --device PATH] [--scenario FILE]
//          [--script FILE] [--transcript FILE|-] [--control SOCKET]
//          [--no-stdin] [--turnaround-ms N] [--no-pace] [--baud N]
//          [--ack-timeout-ms N] [--clock "YYYY-MM-DD hh:mm:ss"]
//
// Without --device it creates a pty pair and prints the path the driver
// opens on the first line of stdout. SIGTERM or SIGINT ends it with one
// summary line per station. On a real port it uses the [COM] group's data
// bits, parity and stop bits. Exit status: 0 after a clean stop (and after
// --help, --version), 1 when it cannot start, 2 for a usage error.

#include <unistd.h>

#include <CLI/CLI.hpp>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <sstream>
#include <string>

#include "commands.h"
#include "line_io.h"
#include "responder.h"
#include "server.h"
#include "sim_config.h"

#ifndef QZ_VERSION
#define QZ_VERSION "unknown"
#endif

namespace {

qz::sim::Server* g_server = nullptr;

void OnSignal(int) {
  if (g_server) g_server->Stop();
}

struct Options {
  std::string Par, PtyLink, Device, Scenario, Script, Transcript, Control, Clock;
  bool Stdin = true;
  bool Pace = true;
  int TurnaroundMs = 5;
  int Baud = 0;
  int AckTimeoutMs = 3000;
};

bool ReadFile(const std::string& path, std::string& text) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream s;
  s << in.rdbuf();
  text = s.str();
  return true;
}

constexpr int kExitUsage = 2;

// The options; 0 to go on, otherwise the exit status (0 after --help or
// --version).
int ParseArgs(int argc, char** argv, Options& o, bool& done) {
  CLI::App app{"Plays the Vorlan stations of a parameter file on a serial line: a new pty, or a real port "
               "with the [COM] group's speed, data bits, parity and stop bits."};
  app.set_version_flag("--version", std::string("qz-sim ") + QZ_VERSION);
  app.add_option("--par", o.Par, "parameter file with the stations to play")->required();
  CLI::Option* link = app.add_option("--pty-link", o.PtyLink, "make a pty and link this path to its slave");
  app.add_option("--device", o.Device, "use this serial device instead of a pty")->excludes(link);
  app.add_option("--scenario", o.Scenario, "values that change over time");
  app.add_option("--script", o.Script, "timed commands (faults)");
  app.add_option("--transcript", o.Transcript, "write every frame and event to this file, - for stderr");
  app.add_option("--control", o.Control, "Unix socket that takes commands");
  app.add_option("--clock", o.Clock, "station clock at the start, \"YYYY-MM-DD hh:mm:ss\" (default: now)");
  app.add_option("--turnaround-ms", o.TurnaroundMs, "pause before each answer")
      ->capture_default_str()
      ->check(CLI::Range(0, 10000000));
  app.add_option("--baud", o.Baud, "line speed instead of the file's BAUD")->check(CLI::Range(1, 10000000));
  app.add_option("--ack-timeout-ms", o.AckTimeoutMs, "wait for the acknowledgement of a report")
      ->capture_default_str()
      ->check(CLI::Range(0, 10000000));
  bool noPace = false, noStdin = false;
  app.add_flag("--no-pace", noPace, "write answers at once, not at the line's speed");
  app.add_flag("--no-stdin", noStdin, "take no commands from stdin");
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    done = true;
    return app.exit(e) == 0 ? 0 : kExitUsage;
  }
  o.Pace = !noPace;
  o.Stdin = !noStdin;
  return 0;
}

// Seconds since 2000-01-01 00:00:00 of a local date and time.
qz::sim::StationSeconds StationTime(int y, int mo, int d, int h, int mi, int s) {
  using namespace std::chrono;
  const sys_days day = year_month_day(year(y), month(static_cast<unsigned>(mo)), std::chrono::day(static_cast<unsigned>(d)));
  const sys_days base = year_month_day(year(2000), month(1), std::chrono::day(1));
  return (day - base).count() * 86400LL + h * 3600 + mi * 60 + s;
}

bool ClockBase(const std::string& text, qz::sim::StationSeconds& out) {
  if (text.empty()) {
    const std::time_t now = std::time(nullptr);
    std::tm t{};
    localtime_r(&now, &t);
    out = StationTime(t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec);
    return true;
  }
  int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
  if (std::sscanf(text.c_str(), "%d-%d-%d %d:%d:%d", &y, &mo, &d, &h, &mi, &s) != 6 || y < 2000 || mo < 1 ||
      mo > 12 || d < 1 || d > 31) {
    return false;
  }
  out = StationTime(y, mo, d, h, mi, s);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  bool done = false;
  if (const int rc = ParseArgs(argc, argv, o, done); done) return rc;

  qz::sim::SimSetup setup;
  std::string error;
  if (!qz::sim::LoadSetupFile(o.Par, setup, error)) {
    std::fprintf(stderr, "qz-sim: %s: %s\n", o.Par.c_str(), error.c_str());
    return 1;
  }
  if (o.Baud > 0) setup.Baud = o.Baud;

  qz::sim::ResponderOptions ro;
  ro.TurnaroundMs = o.TurnaroundMs;
  ro.AckTimeoutMs = o.AckTimeoutMs;
  if (!ClockBase(o.Clock, ro.WallBase)) {
    std::fputs("qz-sim: --clock wants \"YYYY-MM-DD hh:mm:ss\"\n", stderr);
    return kExitUsage;
  }
  qz::sim::Responder responder(setup, ro);

  if (!o.Scenario.empty()) {
    std::string text;
    if (!ReadFile(o.Scenario, text)) {
      std::fprintf(stderr, "qz-sim: cannot read scenario %s\n", o.Scenario.c_str());
      return 1;
    }
    if (!qz::sim::LoadScenario(responder, text, o.Scenario, error)) {
      std::fprintf(stderr, "qz-sim: %s\n", error.c_str());
      return 1;
    }
  }
  qz::sim::ServerOptions so;
  so.Pace = o.Pace;
  so.StdinCommands = o.Stdin;
  so.ControlSocket = o.Control;
  so.TranscriptPath = o.Transcript;
  if (!o.Script.empty()) {
    std::string text;
    if (!ReadFile(o.Script, text)) {
      std::fprintf(stderr, "qz-sim: cannot read script %s\n", o.Script.c_str());
      return 1;
    }
    if (!qz::sim::ParseScript(text, o.Script, so.Script, error)) {
      std::fprintf(stderr, "qz-sim: %s\n", error.c_str());
      return 1;
    }
  }

  qz::sim::LineEndpoint line;
  const bool opened = o.Device.empty()
                          ? qz::sim::OpenPty(line, error)
                          : qz::sim::OpenDevice(o.Device,
                                                qz::sim::DeviceSettings(setup.Baud, setup.DataBits, setup.Parity,
                                                                        setup.StopBits),
                                                line, error);
  if (!opened) {
    std::fprintf(stderr, "qz-sim: %s\n", error.c_str());
    return 1;
  }
  if (!o.PtyLink.empty()) {
    ::unlink(o.PtyLink.c_str());
    if (::symlink(line.SlavePath.c_str(), o.PtyLink.c_str()) != 0) {
      std::fprintf(stderr, "qz-sim: cannot link %s: %s\n", o.PtyLink.c_str(), std::strerror(errno));
      qz::sim::CloseLine(line);
      return 1;
    }
  }

  if (o.Device.empty()) {  // a pty can be unplugged and come back at the same link
    so.Unplug = [&] { qz::sim::UnplugPty(line, o.PtyLink); };
    so.Replug = [&](std::string& e) { return qz::sim::ReplugPty(line, o.PtyLink, e) ? line.Fd : -1; };
  }
  int rc = 0;
  {
    qz::sim::Server server(responder, line.Fd, so);
    if (!server.Open(error)) {
      std::fprintf(stderr, "qz-sim: %s\n", error.c_str());
      rc = 1;
    } else {
      g_server = &server;
      struct sigaction sa {};
      sa.sa_handler = OnSignal;
      sigemptyset(&sa.sa_mask);
      sigaction(SIGTERM, &sa, nullptr);
      sigaction(SIGINT, &sa, nullptr);
      std::signal(SIGPIPE, SIG_IGN);
      std::printf("%s\n", o.Device.empty() ? line.SlavePath.c_str() : o.Device.c_str());
      std::fflush(stdout);
      server.Run();
      g_server = nullptr;
    }
  }
  if (!o.PtyLink.empty()) ::unlink(o.PtyLink.c_str());
  qz::sim::CloseLine(line);
  if (rc == 0) {
    std::fputs(responder.Summary().c_str(), stdout);
    std::fflush(stdout);
  }
  return rc;
}
