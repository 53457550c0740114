// qz-hdb: the records of HDB history files as CSV, JSON lines, a summary or
// an SVG plot of value over time.

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "civil_time.h"
#include "cli.h"
#include "file_bytes.h"
#include "hdb_file.h"
#include "svg_plot.h"

namespace {

using namespace qz::readers;
using json = nlohmann::ordered_json;

constexpr const char* kTool = "qz-hdb";

struct Options {
  std::vector<std::string> Files;
  HdbFilter Filter;
  std::string Since, Until;
  std::vector<int> Codes;
  bool Json = false;
  bool Summary = false;
  std::uint32_t Gap = 0;
  std::string Svg;
};

struct Output {
  explicit Output(const Options& o) : Opt(o) {}
  const Options& Opt;
  HistoryClock Clock;
  bool HeaderDone = false;
  std::vector<PlotSeries> Plot;

  std::string Time(std::uint32_t seconds) { return IsoText(Clock.At(seconds)); }

  void Record(const std::string& file, const HdbRecord& r) {
    const HdbValue v = ValueOf(r.ValueBits);
    const bool several = Opt.Files.size() > 1;
    if (Opt.Json) {
      json j;
      if (several) j["file"] = file;
      j["index"] = r.Index;
      j["time"] = Time(r.Seconds);
      j["code"] = r.Code;
      j["value"] = v.IsNumber ? json(v.Number) : json(nullptr);
      if (!v.IsNumber) j["special"] = v.Special;
      std::puts(j.dump().c_str());
      return;
    }
    if (!HeaderDone) {
      std::puts(several ? "file,index,time,code,value" : "index,time,code,value");
      HeaderDone = true;
    }
    std::string line = several ? file + "," : "";
    line += std::to_string(r.Index) + "," + Time(r.Seconds) + "," + std::to_string(r.Code) + "," +
            (v.IsNumber ? ValueText(v.Number) : v.Special);
    std::puts(line.c_str());
  }

  void Summary(const std::string& file, const HdbSummary& s) {
    if (Opt.Json) {
      json j{{"file", file}, {"records", s.Records}, {"empty", s.Empty}, {"steps_back", s.StepsBack}};
      j["first_time"] = s.FirstTime ? json(Time(*s.FirstTime)) : json(nullptr);
      j["last_time"] = s.LastTime ? json(Time(*s.LastTime)) : json(nullptr);
      json codes = json::object();
      for (const auto& [code, count] : s.Codes) codes[std::to_string(code)] = count;
      j["codes"] = codes;
      j["gap_threshold_s"] = s.GapThreshold;
      json gaps = json::array();
      for (const HdbGap& g : s.Gaps) {
        gaps.push_back({{"after_record", g.BeforeIndex}, {"before_record", g.AfterIndex}, {"from", Time(g.From)},
                        {"to", Time(g.To)}, {"seconds", g.To - g.From}});
      }
      j["gaps"] = gaps;
      std::puts(j.dump().c_str());
      return;
    }
    std::printf("%s\n  records: %zu (%zu written, %zu empty)\n", file.c_str(), s.Records, s.Records - s.Empty,
                s.Empty);
    if (s.FirstTime) {
      std::printf("  first: %s\n  last:  %s\n", Time(*s.FirstTime).c_str(), Time(*s.LastTime).c_str());
    }
    std::printf("  codes:");
    for (const auto& [code, count] : s.Codes) std::printf(" %u (%zu)", code, count);
    std::printf("%s\n", s.Codes.empty() ? " none" : "");
    if (s.StepsBack != 0) std::printf("  time steps back: %zu (the ring has wrapped)\n", s.StepsBack);
    std::printf("  gaps longer than %u s: %zu\n", s.GapThreshold, s.Gaps.size());
    for (const HdbGap& g : s.Gaps) {
      std::printf("    %s .. %s (%u s, records %zu .. %zu)\n", Time(g.From).c_str(), Time(g.To).c_str(),
                  g.To - g.From, g.BeforeIndex, g.AfterIndex);
    }
  }

  void AddToPlot(const std::string& file, const std::vector<HdbRecord>& records) {
    std::map<std::uint16_t, PlotSeries> byCode;
    std::vector<HdbRecord> sorted = records;
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const HdbRecord& a, const HdbRecord& b) { return a.Seconds < b.Seconds; });
    for (const HdbRecord& r : sorted) {
      if (r.Empty) continue;
      const HdbValue v = ValueOf(r.ValueBits);
      PlotSeries& s = byCode[r.Code];
      if (s.Name.empty()) s.Name = (Opt.Files.size() > 1 ? file + " " : "") + "code " + std::to_string(r.Code);
      s.Points.push_back({static_cast<double>(r.Seconds), v.IsNumber ? v.Number : std::nan("")});
    }
    for (auto& [code, s] : byCode) Plot.push_back(std::move(s));
  }
};

int ReadOne(const std::string& file, Output& out) {
  std::string error;
  const auto bytes = ReadFileBytes(file, error);
  std::optional<HdbContent> content;
  if (bytes) content = DecodeHdb(*bytes, error);
  if (!content) {
    Warn(kTool, file, error);
    return kExitError;
  }
  for (const std::string& w : content->Warnings) Warn(kTool, file, "warning: " + w);
  std::vector<HdbRecord> shown;
  for (const HdbRecord& r : content->Records) {
    if (out.Opt.Filter.Matches(r)) shown.push_back(r);
  }
  if (out.Opt.Summary) out.Summary(file, Summarise(shown, out.Opt.Gap));
  else if (out.Opt.Svg.empty()) {
    for (const HdbRecord& r : shown) out.Record(file, r);
  }
  if (!out.Opt.Svg.empty()) out.AddToPlot(file, shown);
  return content->Warnings.empty() ? kExitOk : kExitPartial;
}

int WritePlot(const Output& out) {
  PlotLabels labels;
  labels.Title = "History records";
  if (out.Opt.Files.size() == 1) labels.Title += ": " + out.Opt.Files[0];
  std::ofstream svg(out.Opt.Svg, std::ios::binary);
  svg << RenderSvg(labels, out.Plot, DateTimeTick);
  if (!svg.flush()) {
    Warn(kTool, out.Opt.Svg, "cannot write the plot");
    return kExitError;
  }
  return kExitOk;
}

}  // namespace

int main(int argc, char** argv) {
  Options opt;
  CLI::App app{"Shows the records of the driver's HDB history files (10-byte records: code, time stamp, value).\n"
               "Exit status: 0 read, 1 unreadable, 2 usage, 3 read in part (short or oversized file).",
               kTool};
  SetUpApp(app);
  app.add_option("FILE", opt.Files, "HDB files")->required();
  app.add_flag("--all", opt.Filter.WithEmpty, "also the empty (never written) records");
  app.add_option("--first", opt.Filter.First, "first record index shown (0..49999)");
  app.add_option("--last", opt.Filter.Last, "last record index shown");
  app.add_option("--since", opt.Since, "records from this time on (2026-12-10T13:00:00)");
  app.add_option("--until", opt.Until, "records up to this time");
  app.add_option("--code", opt.Codes, "only records of this code (may be repeated)");
  app.add_flag("--json", opt.Json, "JSON lines instead of CSV");
  app.add_flag("--summary", opt.Summary, "records, first and last time, codes with counts, gaps in time");
  app.add_option("--gap", opt.Gap, "gap threshold in seconds (default: three times the median step)");
  app.add_option("--svg", opt.Svg, "write a plot of value over time, one line per code, to this SVG file");
  if (const int code = Parse(app, argc, argv); code >= 0) return code;
  for (const auto& [text, target] : {std::pair{&opt.Since, &opt.Filter.Since}, std::pair{&opt.Until, &opt.Filter.Until}}) {
    if (text->empty()) continue;
    *target = ParseUserTime(*text);
    if (!*target) {
      Warn(kTool, "", "not a time: " + *text + " (use 2026-12-10T13:00:00)");
      return kExitUsage;
    }
  }
  for (int c : opt.Codes) opt.Filter.Codes.insert(static_cast<std::uint16_t>(c));
  Output out(opt);
  int exit = kExitOk;
  for (const std::string& file : opt.Files) exit = WorseExit(exit, ReadOne(file, out));
  if (!opt.Svg.empty() && exit != kExitError) exit = WorseExit(exit, WritePlot(out));
  return exit;
}
