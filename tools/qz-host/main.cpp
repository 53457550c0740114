// qz-host: runs the driver library as the SCADA host does and shows the
// line live: station values, QQ variables and memory blocks, each station's
// state, the status window's event list and statistics (qz-host --help).

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "command_reader.h"
#include "commands.h"
#include "diag/cp1250.h"
#include "driver_api.h"
#include "events.h"
#include "layout.h"
#include "options.h"
#include "scan.h"
#include "view.h"

#ifdef _WIN32
#include <windows.h>

#include "input_win32.h"
#else
#include <unistd.h>

#include "input_posix.h"
#endif

namespace {

volatile std::sig_atomic_t stopRequested = 0;
void OnSignal(int) { stopRequested = 1; }

constexpr int kEventPollMs = 50;  // the event list holds 12 lines: look often
constexpr std::size_t kSampleBufferBytes = 16930;
constexpr const char* kPrompt = "> ";
constexpr std::size_t kNotesShown = 4;  // command results kept on the screen

double UnixNow() {
  return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
}

std::string DefaultDriver() {
#ifdef _WIN32
  return "qzdrk485.dll";
#else
  return QZ_DEFAULT_DRIVER;
#endif
}

void PrepareConsole() {
#ifdef _WIN32
  SetConsoleOutputCP(CP_UTF8);
  const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  DWORD mode = 0;
  if (GetConsoleMode(out, &mode)) SetConsoleMode(out, mode | 0x0004 /* ENABLE_VIRTUAL_TERMINAL_PROCESSING */);
#endif
}

std::unique_ptr<qzhost::CommandSource> MakeInput(bool json) {
#ifdef _WIN32
  (void)json;
  return qzhost::MakeWin32Input();
#else
  // readline only for a person at a terminal; JSON output stays clean.
  return qzhost::MakePosixInput(STDIN_FILENO, !json && ::isatty(STDIN_FILENO) && ::isatty(STDOUT_FILENO), kPrompt);
#endif
}

// The running harness: one driver instance, its screen or JSON lines.
class Harness {
 public:
  Harness(const qzhost::Options& o, const qzhost::Layout& layout, qzhost::HostCalls& host)
      : o_(o), layout_(layout), host_(host), scanner_(host, layout), commands_(host, layout),
        activity_(Names(layout)), start_(UnixNow()) {}

  int Run() {
    auto input = MakeInput(o_.Json);
    if (o_.Json) Print(qzhost::JsonFiles(0, qzhost::IsoText(start_), "start", layout_.Files));
    PollEvents();
    Show(*input);
    double nextReading = Elapsed() + o_.IntervalMs / 1000.0;
    bool quit = false;
    while (!stopRequested && !quit) {
      const double now = Elapsed();
      if (o_.ForSeconds > 0 && now >= o_.ForSeconds) break;
      const double wakeAt = std::min(nextReading, o_.ForSeconds > 0 ? o_.ForSeconds : nextReading);
      const int wait = std::clamp(static_cast<int>((wakeAt - now) * 1000.0), 1, kEventPollMs);
      const auto lines = input->Wait(wait);
      PollEvents();
      for (const std::string& line : lines) {
        quit = RunCommand(line) || quit;
        if (quit) break;
      }
      if (!lines.empty() && !o_.Json) Show(*input);  // the result at once
      if (Elapsed() >= nextReading) {
        Show(*input);
        nextReading += o_.IntervalMs / 1000.0;
        if (nextReading < Elapsed()) nextReading = Elapsed() + o_.IntervalMs / 1000.0;
      }
    }
    PollEvents();
    Show(*input);
    input.reset();
    if (o_.Json) Print(qzhost::JsonFiles(Elapsed(), qzhost::IsoText(UnixNow()), "end", layout_.Files));
    else std::printf("\nqz-host stopped. %s\n", qzhost::FilesText(layout_.Files).c_str());
    return 0;
  }

 private:
  static std::vector<std::string> Names(const qzhost::Layout& layout) {
    std::vector<std::string> names;
    for (const auto& s : layout.Stations) names.push_back(s.Name);
    return names;
  }

  double Elapsed() const { return UnixNow() - start_; }

  void Print(const std::string& line) {
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
  }

  // New lines of the driver's event list, stamped with the time they showed up.
  void PollEvents() {
    const double now = UnixNow();
    const auto window = qzhost::ParseWindowText(host_.WindowText());
    for (std::string& text : tracker_.Update(window.Events)) {
      activity_.OnEvent(text);
      qzhost::StampedEvent e{now - start_, qzhost::ClockText(now), qzhost::IsoText(now), std::move(text)};
      recent_.push_back(e);
      if (recent_.size() > qzhost::kScreenEvents) recent_.erase(recent_.begin());
      unreported_.push_back(std::move(e));
    }
  }

  bool RunCommand(const std::string& line) {
    const qzhost::CommandResult result = commands_.Run(line);
    if (result.Message.empty() && !result.Quit) return false;
    const double now = UnixNow();
    if (o_.Json) Print(qzhost::JsonCommand(now - start_, qzhost::IsoText(now), line, result));
    else {
      notes_.push_back(qzhost::ClockText(now) + "  " + line + ": " + result.Message);
      if (notes_.size() > kNotesShown) notes_.erase(notes_.begin());
    }
    return result.Quit;
  }

  void Show(qzhost::CommandSource& input) {
    const double now = UnixNow();
    qzhost::Reading r = scanner_.Scan(activity_);
    r.Seconds = now - start_;
    r.Iso = qzhost::IsoText(now);
    if (o_.Json) {
      r.NewEvents.swap(unreported_);
      Print(qzhost::JsonLine(r));
      return;
    }
    unreported_.clear();
    std::string notes;
    for (const std::string& n : notes_) {
      if (!notes.empty()) notes += '\n';
      notes += n;
    }
    qzhost::ScreenContext c{&layout_.Files, notes, &recent_};
    input.BeforeOutput();
    const std::string screen = qzhost::Screen(r, c);
    std::fwrite(screen.data(), 1, screen.size(), stdout);
    std::fflush(stdout);
    input.AfterOutput();
  }

  const qzhost::Options& o_;
  const qzhost::Layout& layout_;
  qzhost::HostCalls& host_;
  qzhost::Scanner scanner_;
  qzhost::Commands commands_;
  qzhost::EventTracker tracker_;
  qzhost::ActivityTracker activity_;
  std::vector<qzhost::StampedEvent> recent_, unreported_;
  std::vector<std::string> notes_;  // results of the last commands
  double start_;
};

}  // namespace

int main(int argc, char** argv) {
  qzhost::Options o;
  o.Driver = DefaultDriver();
  if (const auto exit = qzhost::ParseOptions(argc, argv, o, std::cout, std::cerr)) return *exit;
  PrepareConsole();
  std::string error;
  const auto layout = qzhost::ReadLayout(o.Par, o.Name, error);
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
  if (!o.Json) std::printf("qz-host: %s\n", qzhost::FilesText(layout->Files).c_str());

  DriverHandle* h = api.MakeDriver();
  qzhost::DriverHost host(api, h);
  char message[256] = {};
  std::snprintf(message, sizeof message, "%s", o.Name.c_str());
  const bool running = api.Init(h, static_cast<int32_t>(o.Par.size()), o.Par.c_str(), nullptr, message, o.Level,
                                nullptr, nullptr, nullptr) != 0;
  if (o.Show) host.Window(1);
  // The sample buffer outlives the instance: the driver's thread writes into it until Done.
  std::vector<uint8_t> samples(kSampleBufferBytes, 0);
  int rc = 1;
  if (running) {
    api.SetBufferAddr(h, 65532, samples.data());
    rc = Harness(o, *layout, host).Run();
  } else {
    std::fprintf(stderr, "qz-host: the driver did not start: %s\n", qz::Cp1250ToUtf8(message).c_str());
    for (const auto& e : qzhost::ParseWindowText(host.WindowText()).Events) std::fprintf(stderr, "  %s\n", e.c_str());
    std::fprintf(stderr, "qz-host: %s\n", qzhost::FilesText(layout->Files).c_str());
  }
  api.Done(h);
  api.DisposeDriver(h);
  return rc;
}
