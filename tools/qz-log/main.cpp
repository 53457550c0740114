// qz-log: a driver log read back as the traffic on the line: the frames
// sent and received, check-byte failures, time-outs and sleep events; per
// station a summary; --follow for a log that is still growing.

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>
#include <vector>

#include "cli.h"
#include "file_bytes.h"
#include "follow.h"
#include "log_lines.h"
#include "log_stations.h"
#include "log_traffic.h"
#include "request_text.h"

namespace {

using namespace qz::readers;
using json = nlohmann::ordered_json;

constexpr const char* kTool = "qz-log";

volatile std::sig_atomic_t g_stop = 0;
void OnSignal(int) { g_stop = 1; }

struct Options {
  std::string File;
  std::string Par;
  std::vector<int> Stations;
  std::string Since, Until;
  std::optional<std::int64_t> From, To;
  bool Json = false;
  bool Summary = false;
  bool Follow = false;
};

bool Shown(const Options& o, const TrafficEvent& e) {
  if (!o.Stations.empty() && std::find(o.Stations.begin(), o.Stations.end(), e.Station) == o.Stations.end()) {
    return false;
  }
  if (o.From && e.Seconds < *o.From) return false;
  if (o.To && e.Seconds > *o.To) return false;
  return true;
}

std::string KindText(int kind) {
  if (kind < 0) return "";
  const std::string name = KindName(kind);
  return (name.empty() ? "kind" : name) + " (" + std::to_string(kind) + ")";
}

void PrintText(const TrafficEvent& e) {
  std::string line = IsoText(e.Time) + " ";
  std::string kind = TrafficKindName(e.Kind);
  kind.resize(std::max<std::size_t>(kind.size(), 9), ' ');
  line += kind;
  line += e.Station >= 0 ? " st " + std::to_string(e.Station) : " -";
  if (!e.Name.empty()) line += " " + e.Name;
  std::string details;
  if (e.Kind == TrafficKind::Sent) {
    details = KindText(e.RequestKind) + " " + e.Item;
  } else if (e.Kind == TrafficKind::Received) {
    if (e.RequestKind >= 0) details = "answer to " + KindText(e.RequestKind);
    if (!e.AnswerSeconds) details = "report";
    else details += " after " + std::to_string(*e.AnswerSeconds) + " s";
    if (!e.Text.empty()) details += ": " + e.Text;
    if (!e.Values.empty()) details += " | " + e.Values;
  } else {
    details = e.Text;
  }
  if (!details.empty()) line += " : " + details;
  if (!e.Bytes.empty()) line += " [" + HexBytes(e.Bytes) + "]";
  std::puts(line.c_str());
}

void PrintJson(const TrafficEvent& e) {
  json j{{"line", e.Line}, {"time", IsoText(e.Time)}, {"event", TrafficKindName(e.Kind)}};
  j["station"] = e.Station >= 0 ? json(e.Station) : json(nullptr);
  if (!e.Name.empty()) j["name"] = e.Name;
  if (e.RequestKind >= 0) {
    j["kind"] = e.RequestKind;
    j["kind_name"] = KindName(e.RequestKind);
  }
  if (!e.Item.empty()) j["item"] = e.Item;
  if (e.AnswerSeconds) j["answer_s"] = *e.AnswerSeconds;
  if (!e.Text.empty()) j["text"] = e.Text;
  if (!e.Values.empty()) j["values"] = e.Values;
  if (!e.Bytes.empty()) j["bytes"] = HexBytes(e.Bytes);
  std::puts(j.dump().c_str());
}

void PrintSummary(const Options& o, const std::vector<TrafficEvent>& events) {
  for (const auto& [address, s] : SummariseTraffic(events)) {
    if (address < 0 && s.Requests == 0 && s.Answers == 0) continue;
    const double mean = s.Timed ? static_cast<double>(s.AnswerSum) / static_cast<double>(s.Timed) : 0;
    if (o.Json) {
      json j;
      j["station"] = address >= 0 ? json(address) : json(nullptr);
      if (!s.Name.empty()) j["name"] = s.Name;
      j["requests"] = s.Requests;
      j["answers"] = s.Answers;
      j["reports"] = s.Reports;
      j["timeouts"] = s.Timeouts;
      j["bad_checks"] = s.BadChecks;
      j["sleeps"] = s.Sleeps;
      if (s.Timed) j["answer_s"] = {{"min", s.AnswerMin}, {"mean", mean}, {"max", s.AnswerMax}};
      std::puts(j.dump().c_str());
      continue;
    }
    std::string head = address >= 0 ? "station " + std::to_string(address) : "no station";
    if (!s.Name.empty()) head += " (" + s.Name + ")";
    std::printf("%s: requests %zu, answers %zu (reports %zu), time-outs %zu, bad checks %zu, sleeps %zu", head.c_str(),
                s.Requests, s.Answers, s.Reports, s.Timeouts, s.BadChecks, s.Sleeps);
    if (s.Timed) std::printf(", answer time %lld..%lld s (mean %.2f s)", static_cast<long long>(s.AnswerMin),
                             static_cast<long long>(s.AnswerMax), mean);
    std::printf("\n");
  }
}

class Reader {
 public:
  Reader(const Options& o, LogStations* stations) : opt_(o), traffic_(stations) {}

  void Line(const std::string& text) {
    ++number_;
    if (text.empty()) return;
    if (auto line = ParseLogLine(text, number_)) {
      ++parsed_;
      traffic_.Take(*line);
    } else {
      ++foreign_;
    }
    Flush();
  }
  void Finish() {
    traffic_.Finish();
    Flush();
  }
  void Flush() {
    for (TrafficEvent& e : traffic_.Events()) {
      if (!Shown(opt_, e)) continue;
      if (opt_.Summary) kept_.push_back(std::move(e));
      else if (opt_.Json) PrintJson(e);
      else PrintText(e);
    }
  }
  void Summary() const { PrintSummary(opt_, kept_); }
  std::size_t Parsed() const { return parsed_; }
  std::size_t Foreign() const { return foreign_; }

 private:
  const Options& opt_;
  TrafficReader traffic_;
  std::size_t number_ = 0, parsed_ = 0, foreign_ = 0;
  std::vector<TrafficEvent> kept_;
};

int ReadWhole(const Options& o, Reader& reader) {
  std::string error;
  const auto bytes = ReadFileBytes(o.File, error);
  if (!bytes) {
    Warn(kTool, o.File, error);
    return kExitError;
  }
  if (bytes->empty()) {
    Warn(kTool, o.File, "empty file, no log lines");
    return kExitError;
  }
  LineSplitter lines;
  lines.Feed(*bytes);
  for (const std::string& line : lines.Take()) reader.Line(line);
  if (auto rest = lines.TakeRest()) reader.Line(*rest);
  reader.Finish();
  if (reader.Parsed() == 0) {
    Warn(kTool, o.File, "not a driver log: no line begins with a date, a time and a label");
    return kExitError;
  }
  if (reader.Foreign() != 0) {
    Warn(kTool, o.File, "warning: " + std::to_string(reader.Foreign()) + " lines are not log lines and were skipped");
    return kExitPartial;
  }
  return kExitOk;
}

int Follow(const Options& o, Reader& reader) {
  std::signal(SIGINT, OnSignal);
  std::signal(SIGTERM, OnSignal);
  LogFollower follower(o.File);
  while (!g_stop) {
    for (const std::string& line : follower.Poll()) reader.Line(line);
    std::fflush(stdout);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
  }
  reader.Finish();
  if (o.Summary) reader.Summary();
  return kExitOk;
}

}  // namespace

int main(int argc, char** argv) {
  Options opt;
  CLI::App app{"Reads a driver log (written with $DIAGS) back as the traffic on the line.\n"
               "Exit status: 0 read, 1 unreadable or no log, 2 usage, 3 read in part (lines that are no log lines).",
               kTool};
  SetUpApp(app);
  app.add_option("FILE", opt.File, "the log file")->required();
  app.add_option("--par", opt.Par, "the driver's parameter file: station names, request items, decoded values");
  app.add_option("--station", opt.Stations, "only this station address (may be repeated)");
  app.add_option("--since", opt.Since, "events from this time on (2026-12-10T13:00:00)");
  app.add_option("--until", opt.Until, "events up to this time");
  app.add_flag("--json", opt.Json, "JSON lines instead of text");
  app.add_flag("--summary", opt.Summary, "per station: requests, answers, time-outs, answer times");
  app.add_flag("--follow", opt.Follow, "keep reading the log as the driver writes it (until Ctrl-C)");
  if (const int code = Parse(app, argc, argv); code >= 0) return code;
  for (const auto& [text, target] : {std::pair{&opt.Since, &opt.From}, std::pair{&opt.Until, &opt.To}}) {
    if (text->empty()) continue;
    *target = ParseUserTime(*text);
    if (!*target) {
      Warn(kTool, "", "not a time: " + *text + " (use 2026-12-10T13:00:00)");
      return kExitUsage;
    }
  }
  std::unique_ptr<LogStations> stations;
  if (!opt.Par.empty()) {
    std::string error;
    stations = LogStations::Load(opt.Par, error);
    if (!stations) {
      Warn(kTool, opt.Par, error);
      return kExitError;
    }
  }
  Reader reader(opt, stations.get());
  if (opt.Follow) return Follow(opt, reader);
  const int exit = ReadWhole(opt, reader);
  if (opt.Summary && exit != kExitError) reader.Summary();
  return exit;
}
