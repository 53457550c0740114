// A small host of the driver library: it loads the library by path, calls
// only its exports, and waits as a host's main thread does, dispatching its
// window messages. The calling script runs the station simulator on the
// other end of the line and checks what reached it.
//
//   wine_host line   LABEL LIBRARY PARFILE NAME [SHOT.bmp]
//       the running line: identity, values of every station, writes,
//       statistics, history read-out, the window, Done, HDB files and log
//   wine_host noport LABEL LIBRARY PARFILE NAME
//       Init on a port that does not exist
//   wine_host rate   LABEL LIBRARY PARFILE NAME SECONDS
//       exchanges per second over SECONDS, from the statistics line
//   wine_host portloss LABEL LIBRARY PARFILE NAME PORT MARKER
//       the device of COM<PORT> goes away while polling runs (the script
//       stops the simulator once "polling runs" has passed) and a new one
//       appears at the same name, which the script tells by creating the
//       file MARKER: the driver reports the loss, reopens the port by itself
//       and polls on, with no call of the host but reads
//
// Exit status: 0 when every check passed, 1 otherwise, 2 for a usage error.

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "checks.h"
#include "driver_api.h"
#include "host_files.h"
#include "line_session.h"
#include "pump.h"
#include "window_checks.h"

namespace wt {

namespace {

constexpr int kValuesWaitMs = 20000;
constexpr int kHistoryWaitMs = 30000;
constexpr double kDoneLimitMs = 1000;
constexpr std::size_t kHdbSize = 500000;

// What the simulator's scenario sets and the host must read (line.scn).
struct ExpectedValue {
  const char* Name;
  std::uint32_t Channel;
  std::uint32_t Type;
  double Value;
};
constexpr ExpectedValue kExpected[] = {
    {"station 1 binary input 1", 1, kTypeBool, 1},
    {"station 1 binary input 5", 5, kTypeBool, 1},
    {"station 1 binary input 16", 16, kTypeBool, 1},
    {"station 2 binary input 2", 502, kTypeBool, 1},
    {"station 2 analog input 1", 693, kTypeReal, 2.5},
    {"station 2 analog input 3", 695, kTypeReal, -7.25},
    {"station 3 memory input 1", 1405, kTypeReal, 0.75},
    {"station 3 memory input 2", 1406, kTypeReal, 1234},
};

// The host's writes; the script asks the simulator for them afterwards.
struct Write {
  std::uint32_t Channel;
  std::uint32_t Type;
  double Value;
};
constexpr Write kWrites[] = {
    {98, kTypeBool, 1},     // station 1 binary output 2
    {1305, kTypeReal, 2.5},  // station 3 memory output 1
};

// History read-out of station 1 for user 2 (host channels of the read-out).
constexpr std::uint32_t kHistoryStation = 65400;
constexpr std::uint32_t kHistoryUser = 65401;
constexpr std::uint32_t kHistoryStart = 65407;
constexpr std::uint32_t kHistoryState = 65404;
constexpr std::uint32_t kHistoryDone = 255;

double ValueOf(const LineSession& line, const ExpectedValue& e) {
  return e.Type == kTypeReal ? line.Real(e.Channel) : line.Word(e.Channel, e.Type);
}

bool LoadDriver(Checks& checks, DriverApi& api, const std::string& path) {
  std::string error;
  if (!checks.Expect("library loads", api.Load(path, error), error)) return false;
  std::string missing;
  for (const auto& name : api.Missing()) missing += name + " ";
  return checks.Expect("all 18 exports found by name", missing.empty(), "missing " + missing);
}

void CheckIdentity(Checks& checks, const DriverApi& api) {
  char info[64];
  std::memset(info, 'x', sizeof info);
  const int length = api.GetDriverInfo(0, info);
  checks.Expect("Version, Check and GetDriverInfo",
                api.Version() == 0x30000 && api.Check() == 1 && length == 33 &&
                    std::string(info) == "Vorlan-RK/VL2, RS232/485, v.5.017",
                "info \"" + std::string(info, 40) + "\"");
}

void CheckValues(Checks& checks, const LineSession& line) {
  for (const ExpectedValue& e : kExpected) {
    const bool ok = PumpUntil([&] { return ValueOf(line, e) == e.Value; }, kValuesWaitMs);
    checks.Expect(std::string("GetInput: ") + e.Name, ok,
                  "channel " + std::to_string(e.Channel) + " reads " + std::to_string(ValueOf(line, e)) +
                      ", expected " + std::to_string(e.Value));
  }
}

void SendWrites(const LineSession& line) {
  for (const Write& w : kWrites) {
    if (w.Type == kTypeReal) line.WriteReal(w.Channel, w.Value);
    else line.WriteWord(w.Channel, w.Type, static_cast<std::uint32_t>(w.Value));
  }
}

// The counters move while messages flow, and answers come back.
void CheckStatistics(Checks& checks, const LineSession& line) {
  std::optional<LineCounters> first;
  PumpUntil([&] { return (first = line.Counters()).has_value(); }, 3000);
  if (!checks.Expect("statistics line shown", first.has_value(), "no \"Kom.zpr\xE1v\" line")) return;
  std::optional<LineCounters> later;
  const bool moved = PumpUntil(
      [&] {
        later = line.Counters();
        return later && later->Sent > first->Sent && later->Received > first->Received;
      },
      5000);
  checks.Expect("statistics change while messages flow", moved,
                "sent " + std::to_string(first->Sent) + " -> " + std::to_string(later ? later->Sent : -1) +
                    ", received " + std::to_string(first->Received) + " -> " +
                    std::to_string(later ? later->Received : -1));
}

void ReadHistory(Checks& checks, const LineSession& line) {
  line.WriteWord(kHistoryStation, kTypeWord, 1);
  line.WriteWord(kHistoryUser, kTypeWord, 2);
  line.WriteWord(kHistoryStart, kTypeBool, 1);
  const bool done = PumpUntil([&] { return line.Word(kHistoryState, kTypeWord) == kHistoryDone; }, kHistoryWaitMs);
  checks.Expect("history read-out of station 1 ends", done,
                "state " + std::to_string(line.Word(kHistoryState, kTypeWord)));
}

void CheckDone(Checks& checks, LineSession& line, const WindowProbe& window) {
  const double start = NowMs();
  line.Done();
  const double took = NowMs() - start;
  checks.Expect("Done returns within a second", took < kDoneLimitMs, std::to_string(took) + " ms");
  window.CheckGoneAfterDone(checks, took);
}

void CheckFiles(Checks& checks, const std::string& name) {
  const std::string hdb = ExecutableFolder() + PathSeparator() + name + "1.hdb";
  const long long size = FileSize(hdb);
  checks.Expect("HDB file beside the executable after DisposeDriver", size == static_cast<long long>(kHdbSize),
                hdb + ": size " + std::to_string(size));
  const std::string log = ReadFile(LogFilePath(name));
  checks.Expect("log file " + LogFilePath(name) + " written",
                log.find("LoadPARfile : OK") != std::string::npos && log.find("Hex Dump") != std::string::npos,
                std::to_string(log.size()) + " bytes, without the start and traffic lines");
}

int RunLine(Checks& checks, const std::string& library, const std::string& par, const std::string& name,
            const std::string& shot) {
  DriverApi api;
  if (!LoadDriver(checks, api, library)) return 1;
  CheckIdentity(checks, api);
  RemoveFile(ExecutableFolder() + PathSeparator() + name + "1.hdb");
  RemoveFile(LogFilePath(name));
  LineSession line(api);
  if (!checks.Expect("Init opens the line", line.Init(par, name, kLineAccessLevel), line.Message())) return 1;
  line.Proc(1);  // show
  WindowProbe window(name);
  window.CheckLayout(checks);
  CheckValues(checks, line);
  SendWrites(line);
  CheckStatistics(checks, line);
  window.CheckRunning(checks, line);
  if (!shot.empty()) window.Screenshot(checks, shot);
  window.CheckHostControl(checks, line);
  ReadHistory(checks, line);
  CheckDone(checks, line, window);
  line.Dispose();
  CheckFiles(checks, name);
  return checks.Failures() == 0 ? 0 : 1;
}

// Every DriverProc code the host might send, with hostile arguments.
void SendEveryProc(const LineSession& line) {
  constexpr std::int32_t kExtremes[] = {0, -1, 1, INT32_MIN, INT32_MAX};
  for (std::uint32_t code : {0u, 1u, 2u, 3u, 4u, 5u, 6u, 7u, 255u, 0xFFFFFFFFu}) {
    for (std::int32_t v : kExtremes) line.Proc(code, v, v, v, v);
  }
}

int RunNoPort(Checks& checks, const std::string& library, const std::string& par, const std::string& name) {
  DriverApi api;
  if (!LoadDriver(checks, api, library)) return 1;
  {
    // A host that drives the window before Init: nothing happens.
    LineSession early(api);
    SendEveryProc(early);
    Pump(100);
    checks.Expect("DriverProc before Init changes nothing and shows no window", !WindowProbe(name).Exists());
  }
  LineSession line(api);
  const bool started = line.Init(par, name);
  const char expected[] = "Chyba instalace COM-portu !";
  checks.Expect("Init fails on a port that is not there", !started);
  checks.Expect("message \"Chyba instalace COM-portu !\"", std::memcmp(line.Message(), expected, sizeof expected) == 0,
                std::string("got \"") + line.Message() + "\"");
  WindowProbe(name).CheckFailedStart(checks);
  const double start = NowMs();
  line.Done();
  checks.Expect("Done after the failed Init returns at once", NowMs() - start < kDoneLimitMs);
  SendEveryProc(line);
  Pump(100);
  checks.Expect("DriverProc after Done changes nothing and shows no window", !WindowProbe(name).Exists());
  return checks.Failures() == 0 ? 0 : 1;
}

int RunRate(Checks& checks, const std::string& library, const std::string& par, const std::string& name,
            double seconds) {
  DriverApi api;
  if (!LoadDriver(checks, api, library)) return 1;
  LineSession line(api);
  if (!checks.Expect("Init opens the line", line.Init(par, name), line.Message())) return 1;
  // From one refresh of the statistics line to another, SECONDS apart.
  const auto received = [&line] {
    const auto counters = line.Counters();
    return counters ? counters->Received : -1;
  };
  if (!checks.Expect("answers arrive", PumpUntil([&] { return received() > 0; }, 5000))) return 1;
  // The counters just after a refresh, and when it was seen.
  const auto nextRefresh = [&](double& at) {
    const double now = received();
    PumpUntil([&] { return received() != now; }, 2000);
    at = NowMs();
    return line.Counters().value_or(LineCounters{});
  };
  double start = 0;
  double end = 0;
  const LineCounters first = nextRefresh(start);
  Pump(static_cast<int>(seconds * 1000));
  const LineCounters last = nextRefresh(end);
  const double elapsed = (end - start) / 1000;
  const double sentRate = (last.Sent - first.Sent) / elapsed;
  const double receivedRate = (last.Received - first.Received) / elapsed;
  char text[200];
  std::snprintf(text, sizeof text, "RATE sent %.1f/s received %.1f/s errors %.0f over %.1f s", sentRate, receivedRate,
                last.Errors - first.Errors, elapsed);
  checks.Info(text);
  // The communication thread's cycle, from "Hlavní thread: C ms (M ms max, A ms průměr)".
  for (const std::string& status : line.WindowLines("status")) {
    const auto cycle = NumberAfter(status, "thread: ");
    const auto max = NumberAfter(status, "(");
    const auto average = NumberAfter(status, "max, ");
    if (!cycle || !max || !average) continue;
    std::snprintf(text, sizeof text, "CYCLE %.1f ms, max %.1f ms, average %.1f ms", *cycle, *max, *average);
    checks.Info(text);
  }
  checks.Expect("every request answered while measuring",
                receivedRate > 0 && std::fabs(sentRate - receivedRate) <= 0.1 * sentRate, text);
  line.Done();
  return checks.Failures() == 0 ? 0 : 1;
}

// Every event line shown since the start, each with how often it came: the
// list keeps only its last lines, so it is read often and new lines are
// taken from after the last one already seen.
class EventsSeen {
 public:
  explicit EventsSeen(const LineSession& line) : line_(line) {}

  void Update() {
    const std::vector<std::string> now = line_.WindowLines("event");
    std::size_t from = 0;
    if (!last_.empty()) {
      for (std::size_t i = now.size(); i-- > 0;) {
        if (now[i] == last_) {
          from = i + 1;
          break;
        }
      }
    }
    for (std::size_t i = from; i < now.size(); ++i) ++counts_[now[i]];
    if (!now.empty()) last_ = now.back();
  }
  // The lines seen that start with a text, with their counts.
  std::vector<std::pair<std::string, int>> Starting(const std::string& start) const {
    std::vector<std::pair<std::string, int>> found;
    for (const auto& [text, count] : counts_)
      if (text.rfind(start, 0) == 0) found.emplace_back(text, count);
    return found;
  }

 private:
  const LineSession& line_;
  std::map<std::string, int> counts_;
  std::string last_;
};

// What the script sets in the new simulator before it creates the marker:
// a value the first one never had, so it can only come from the new device.
constexpr ExpectedValue kAfterReturn = {"station 2 analog input 1", 693, kTypeReal, 7.5};
constexpr int kLossWaitMs = 20000;
constexpr int kMarkerWaitMs = 30000;
constexpr int kResumeLimitMs = 10000;

int RunPortLoss(Checks& checks, const std::string& library, const std::string& par, const std::string& name,
                int port, const std::string& marker) {
  DriverApi api;
  if (!LoadDriver(checks, api, library)) return 1;
  LineSession line(api);
  if (!checks.Expect("Init opens the line", line.Init(par, name), line.Message())) return 1;
  EventsSeen events(line);
  const auto received = [&line] { return line.Counters().value_or(LineCounters{0, -1, 0}).Received; };
  const auto pumpUntil = [&](const std::function<bool()>& condition, int ms) {
    return PumpUntil(
        [&] {
          events.Update();
          return condition();
        },
        ms);
  };
  if (!checks.Expect("polling runs", pumpUntil([&] { return received() > 3; }, kValuesWaitMs),
                     "received " + std::to_string(received())))
    return 1;

  const std::string com = "Port COM" + std::to_string(port);
  const std::string lostStart = com + " odpojen: ";
  // Told while the device is away, before the new one appears.
  const auto lostSeen = [&] { return !events.Starting(lostStart).empty(); };
  pumpUntil([&] { return lostSeen() || FileSize(marker) >= 0; }, kLossWaitMs);
  checks.Expect("the loss of the device is reported before it comes back", lostSeen(),
                "no \"" + lostStart + "...\" among the events");
  for (const auto& [text, count] : events.Starting(lostStart)) checks.Info("EVENT " + text);

  const bool restarted = pumpUntil([&] { return FileSize(marker) >= 0; }, kMarkerWaitMs);
  if (!checks.Expect("the script brings the device back", restarted, marker + " not created")) return 1;
  const double back = NowMs();
  const double receivedAtBack = received();
  const bool resumed = pumpUntil(
      [&] { return received() > receivedAtBack + 3 && line.Real(kAfterReturn.Channel) == kAfterReturn.Value; },
      kResumeLimitMs);
  char took[64];
  std::snprintf(took, sizeof took, "%.1f s", (NowMs() - back) / 1000);
  checks.Expect("polling resumes by itself within 10 s of the device's return", resumed,
                "received " + std::to_string(receivedAtBack) + " -> " + std::to_string(received()) + ", " +
                    kAfterReturn.Name + " reads " + std::to_string(line.Real(kAfterReturn.Channel)) + " after " +
                    took);
  if (resumed) checks.Info(std::string("RESUMED ") + took + " after the device came back");

  const std::string backText = com + " znovu otev\xF8" "en";
  const auto backLines = events.Starting(backText);
  checks.Expect("the return of the port is reported", backLines.size() == 1 && backLines[0].first == backText,
                "no \"" + backText + "\" among the events");
  const auto lostLines = events.Starting(lostStart);
  checks.Expect("the loss and the return are each reported once",
                lostLines.size() == 1 && lostLines[0].second == 1 && backLines.size() == 1 && backLines[0].second == 1,
                std::to_string(lostLines.size()) + " loss lines, " + std::to_string(backLines.size()) + " return lines");
  line.Done();
  return checks.Failures() == 0 ? 0 : 1;
}

}  // namespace

}  // namespace wt

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (args.size() < 5) {
    std::fprintf(stderr, "usage: wine_host line|noport|rate|portloss LABEL LIBRARY PARFILE NAME [SHOT | SECONDS | PORT MARKER]\n");
    return 2;
  }
  wt::Checks checks(args[1] + " ");
  const std::string& mode = args[0];
  if (mode == "line") return wt::RunLine(checks, args[2], args[3], args[4], args.size() > 5 ? args[5] : "");
  if (mode == "noport") return wt::RunNoPort(checks, args[2], args[3], args[4]);
  if (mode == "portloss" && args.size() > 6)
    return wt::RunPortLoss(checks, args[2], args[3], args[4], std::atoi(args[5].c_str()), args[6]);
  if (mode == "rate" && args.size() > 5) return wt::RunRate(checks, args[2], args[3], args[4], std::atof(args[5].c_str()));
  std::fprintf(stderr, "unknown mode %s\n", mode.c_str());
  return 2;
}
