// qz-host: runs the driver library as the SCADA host does and shows the
// line live: station values, the status window's event list and statistics.
//
//   qz-host --par FILE [--driver LIB] [--name NAME] [--level N]
//           [--interval MS] [--for SECONDS] [--json]
//
// Commands are read from standard input while it runs (see the screen).

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "commands.h"
#include "diag/cp1250.h"
#include "driver_api.h"
#include "scan.h"
#include "view.h"

namespace {

volatile std::sig_atomic_t stopRequested = 0;
void OnSignal(int) { stopRequested = 1; }

struct Options {
  std::string Driver = QZ_DEFAULT_DRIVER;
  std::string Par;
  std::string Name = "QZHOST";
  unsigned Level = 10;
  int IntervalMs = 1000;
  double ForSeconds = 0;  // 0: until stopped
  bool Json = false;
};

void Usage() {
  std::fprintf(stderr,
               "usage: qz-host --par FILE [--driver LIB] [--name NAME] [--level N]\n"
               "               [--interval MS] [--for SECONDS] [--json]\n");
}

bool Parse(int argc, char** argv, Options& o) {
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    auto next = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
    const char* v = nullptr;
    if (a == "--json") {
      o.Json = true;
    } else if ((a == "--par" || a == "--driver" || a == "--name" || a == "--level" || a == "--interval" ||
                a == "--for") &&
               (v = next())) {
      if (a == "--par") o.Par = v;
      else if (a == "--driver") o.Driver = v;
      else if (a == "--name") o.Name = v;
      else if (a == "--level") o.Level = static_cast<unsigned>(std::stoul(v));
      else if (a == "--interval") o.IntervalMs = std::max(50, std::stoi(v));
      else o.ForSeconds = std::stod(v);
    } else {
      return false;
    }
  }
  return !o.Par.empty();
}

// Waits up to ms for a line on standard input; true with the line.
bool ReadCommand(int ms, std::string& line, bool& inputOpen) {
  if (!inputOpen) {
    ::poll(nullptr, 0, ms);
    return false;
  }
  pollfd fd{STDIN_FILENO, POLLIN, 0};
  if (::poll(&fd, 1, ms) <= 0) return false;
  if (!std::getline(std::cin, line)) {
    inputOpen = false;
    return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  try {
    if (!Parse(argc, argv, o)) {
      Usage();
      return 2;
    }
  } catch (const std::exception&) {
    Usage();
    return 2;
  }
  std::string error;
  const auto layout = qzhost::ReadLayout(o.Par, error);
  if (!layout) {
    std::fprintf(stderr, "qz-host: %s: %s\n", o.Par.c_str(), error.c_str());
    return 1;
  }
  qzhost::DriverApi api(o.Driver);
  if (!api.ok()) {
    std::fprintf(stderr, "qz-host: %s\n", api.error().c_str());
    return 1;
  }
  std::signal(SIGINT, OnSignal);
  std::signal(SIGTERM, OnSignal);

  DriverHandle* h = api.MakeDriver();
  char message[256] = {};
  std::snprintf(message, sizeof message, "%s", o.Name.c_str());
  const bool running = api.Init(h, static_cast<int32_t>(o.Par.size()), o.Par.c_str(), nullptr, message, o.Level,
                                nullptr, nullptr, nullptr) != 0;
  if (!running) {
    std::fprintf(stderr, "qz-host: the driver did not start: %s\n", qz::Cp1250ToUtf8(message).c_str());
    const qzhost::Scanner scanner(api, h, *layout);
    for (const auto& e : scanner.Scan(0).Window.Events) std::fprintf(stderr, "  %s\n", e.c_str());
    api.Done(h);
    api.DisposeDriver(h);
    return 1;
  }
  std::vector<uint8_t> samples(16930, 0);
  api.SetBufferAddr(h, 65532, samples.data());

  const qzhost::Scanner scanner(api, h, *layout);
  const auto start = std::chrono::steady_clock::now();
  auto elapsed = [&] { return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(); };
  bool inputOpen = true;
  std::string note;
  while (!stopRequested) {
    const auto reading = scanner.Scan(elapsed());
    if (o.Json) {
      std::printf("%s\n", qzhost::JsonLine(reading).c_str());
      std::fflush(stdout);
    } else {
      std::printf("%s%s", qzhost::Screen(reading).c_str(), note.c_str());
      std::fflush(stdout);
    }
    if (o.ForSeconds > 0 && elapsed() >= o.ForSeconds) break;
    const auto next = std::chrono::steady_clock::now() + std::chrono::milliseconds(o.IntervalMs);
    while (!stopRequested && std::chrono::steady_clock::now() < next) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(next - std::chrono::steady_clock::now());
      std::string line;
      if (!ReadCommand(static_cast<int>(std::max<long long>(1, left.count())), line, inputOpen)) continue;
      const auto result = qzhost::RunCommand(api, h, *layout, line);
      note = result.Message;
      if (o.Json && !note.empty()) std::printf("{\"command\":%s,\"result\":%s}\n", qzhost::JsonString(line).c_str(),
                                               qzhost::JsonString(note).c_str());
      if (result.Quit) stopRequested = 1;
    }
  }
  api.Done(h);
  api.DisposeDriver(h);
  return 0;
}
