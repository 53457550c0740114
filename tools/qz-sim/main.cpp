// qz-sim: plays the Vorlan stations of a parameter file on a serial line.
//
//   qz-sim --par FILE [--pty-link PATH | --device PATH] [--scenario FILE]
//          [--script FILE] [--transcript FILE|-] [--control SOCKET]
//          [--no-stdin] [--turnaround-ms N] [--no-pace] [--baud N]
//          [--ack-timeout-ms N] [--clock "YYYY-MM-DD hh:mm:ss"]
//
// Without --device it creates a pty pair and prints the path the driver
// opens on the first line of stdout. SIGTERM or SIGINT ends it with one
// summary line per station. Exit status: 0 after a clean stop, 1 when it
// cannot start, 2 for a usage error.

#include <unistd.h>

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

int Usage(const char* why) {
  if (why) std::fprintf(stderr, "qz-sim: %s\n", why);
  std::fputs(
      "usage: qz-sim --par FILE [--pty-link PATH | --device PATH] [--scenario FILE]\n"
      "              [--script FILE] [--transcript FILE|-] [--control SOCKET] [--no-stdin]\n"
      "              [--turnaround-ms N] [--no-pace] [--baud N] [--ack-timeout-ms N]\n"
      "              [--clock \"YYYY-MM-DD hh:mm:ss\"]\n",
      stderr);
  return 2;
}

bool ReadFile(const std::string& path, std::string& text) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream s;
  s << in.rdbuf();
  text = s.str();
  return true;
}

bool ParseInt(const char* text, int& out) {
  char* end = nullptr;
  const long v = std::strtol(text, &end, 10);
  if (!end || *end != '\0' || v < 0 || v > 10000000) return false;
  out = static_cast<int>(v);
  return true;
}

int ParseArgs(int argc, char** argv, Options& o) {
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    auto value = [&](std::string& target) {
      if (i + 1 >= argc) return false;
      target = argv[++i];
      return true;
    };
    auto number = [&](int& target) { return i + 1 < argc && ParseInt(argv[++i], target); };
    bool ok = true;
    if (a == "--par") ok = value(o.Par);
    else if (a == "--pty-link") ok = value(o.PtyLink);
    else if (a == "--device") ok = value(o.Device);
    else if (a == "--scenario") ok = value(o.Scenario);
    else if (a == "--script") ok = value(o.Script);
    else if (a == "--transcript") ok = value(o.Transcript);
    else if (a == "--control") ok = value(o.Control);
    else if (a == "--clock") ok = value(o.Clock);
    else if (a == "--turnaround-ms") ok = number(o.TurnaroundMs);
    else if (a == "--baud") ok = number(o.Baud) && o.Baud > 0;
    else if (a == "--ack-timeout-ms") ok = number(o.AckTimeoutMs);
    else if (a == "--no-pace") o.Pace = false;
    else if (a == "--no-stdin") o.Stdin = false;
    else if (a == "--help" || a == "-h") return Usage(nullptr);
    else return Usage(("unknown option " + a).c_str());
    if (!ok) return Usage(("bad or missing value for " + a).c_str());
  }
  if (o.Par.empty()) return Usage("--par is required");
  if (!o.Device.empty() && !o.PtyLink.empty()) return Usage("--device and --pty-link exclude each other");
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
  if (const int rc = ParseArgs(argc, argv, o); rc != 0) return rc;

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
  if (!ClockBase(o.Clock, ro.WallBase)) return Usage("--clock wants \"YYYY-MM-DD hh:mm:ss\"");
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
                          : qz::sim::OpenDevice(o.Device, setup.Baud, 8, 0, setup.BitsPerChar >= 11 ? 2 : 1, line, error);
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
