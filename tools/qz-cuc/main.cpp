// qz-cuc: the samples of .CUC sample files as CSV, JSON lines or an SVG
// plot of the eight values over time.

#include <cmath>
#include <cstdio>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "civil_time.h"
#include "cli.h"
#include "cuc_file.h"
#include "file_bytes.h"
#include "hdb_file.h"
#include "svg_plot.h"

namespace {

using namespace qz::readers;
using json = nlohmann::ordered_json;

constexpr const char* kTool = "qz-cuc";

struct Options {
  std::vector<std::string> Files;
  bool All = false;
  bool Json = false;
  std::string Svg;
};

std::string StampText(const CucSample& s) {
  if (s.Time) return IsoText(*s.Time);
  char buf[40];
  std::snprintf(buf, sizeof buf, "?%02X%02X%02X%02X%02X%02X", s.Stamp[0], s.Stamp[1], s.Stamp[2], s.Stamp[3],
                s.Stamp[4], s.Stamp[5]);
  return buf;  // the raw stamp, marked, when it is no date
}

class Output {
 public:
  explicit Output(const Options& o) : opt_(o) {}

  void Sample(const std::string& file, const CucSample& s) {
    const bool several = opt_.Files.size() > 1;
    if (opt_.Json) {
      json j;
      if (several) j["file"] = file;
      j["sample"] = s.Number;
      j["time"] = s.Empty ? json(nullptr) : json(StampText(s));
      j["status"] = s.Status;
      j["values"] = s.Values;
      std::puts(j.dump().c_str());
      return;
    }
    if (!header_) {
      std::puts(several ? "file,sample,time,status,v1,v2,v3,v4,v5,v6,v7,v8"
                        : "sample,time,status,v1,v2,v3,v4,v5,v6,v7,v8");
      header_ = true;
    }
    std::string line = several ? file + "," : "";
    line += std::to_string(s.Number) + "," + (s.Empty ? "" : StampText(s)) + "," + std::to_string(s.Status);
    for (double v : s.Values) line += "," + ValueText(v);
    std::puts(line.c_str());
  }

  void AddToPlot(const std::string& file, const std::vector<CucSample>& samples) {
    for (std::size_t v = 0; v < 8; ++v) {
      PlotSeries series;
      series.Name = (opt_.Files.size() > 1 ? file + " " : "") + "value " + std::to_string(v + 1);
      for (const CucSample& s : samples) {
        if (s.Time) series.Points.push_back({static_cast<double>(SecondsSince2000(*s.Time)), s.Values[v]});
      }
      plot_.push_back(std::move(series));
    }
  }

  int WritePlot() const {
    PlotLabels labels;
    labels.Title = "Samples";
    if (opt_.Files.size() == 1) labels.Title += ": " + opt_.Files[0];
    std::ofstream svg(opt_.Svg, std::ios::binary);
    svg << RenderSvg(labels, plot_, DateTimeTick);
    if (!svg.flush()) {
      Warn(kTool, opt_.Svg, "cannot write the plot");
      return kExitError;
    }
    return kExitOk;
  }

  const Options& Opt() const { return opt_; }

 private:
  const Options& opt_;
  bool header_ = false;
  std::vector<PlotSeries> plot_;
};

int ReadOne(const std::string& file, Output& out) {
  std::string error;
  const auto bytes = ReadFileBytes(file, error);
  std::optional<CucContent> content;
  if (bytes) content = DecodeCuc(*bytes, error);
  if (!content) {
    Warn(kTool, file, error);
    return kExitError;
  }
  for (const std::string& w : content->Warnings) Warn(kTool, file, "warning: " + w);
  std::vector<CucSample> shown;
  for (const CucSample& s : content->Samples) {
    if (!s.Empty || out.Opt().All) shown.push_back(s);
  }
  if (out.Opt().Svg.empty()) {
    for (const CucSample& s : shown) out.Sample(file, s);
  } else {
    out.AddToPlot(file, shown);
  }
  return content->Warnings.empty() ? kExitOk : kExitPartial;
}

}  // namespace

int main(int argc, char** argv) {
  Options opt;
  CLI::App app{"Shows the samples of the driver's .CUC sample files (528 samples: time, status, eight values).\n"
               "Exit status: 0 read, 1 unreadable, 2 usage, 3 read in part (short file, stamps that are no date).",
               kTool};
  SetUpApp(app);
  app.add_option("FILE", opt.Files, ".CUC files")->required();
  app.add_flag("--all", opt.All, "also the empty samples (not read out)");
  app.add_flag("--json", opt.Json, "JSON lines instead of CSV");
  app.add_option("--svg", opt.Svg, "write a plot of the eight values over time to this SVG file");
  if (const int code = Parse(app, argc, argv); code >= 0) return code;
  Output out(opt);
  int exit = kExitOk;
  for (const std::string& file : opt.Files) exit = WorseExit(exit, ReadOne(file, out));
  if (!opt.Svg.empty() && exit != kExitError) exit = WorseExit(exit, out.WritePlot());
  return exit;
}
