#include "config/par_file.h"

#include <cstdio>
#include <memory>

#include "config/driver_config.h"
#include "config/par_global.h"
#include "config/par_reader.h"
#include "config/par_stations.h"
#include "diag/log.h"
#include "diag/paths.h"
#include "diag/texts.h"
#include "diag/window_model.h"

namespace qz {

namespace {

bool LoadGroups(ParReader& r, WindowModel* window) {
  DriverConfig& s = r.Config();
  r.Log().Line(text::kLogLoad, text::kLogLoadCom);
  if (!r.SetGroupPos(text::kGroupCom) || !ReadComGroup(r)) return false;
  AddEvent(window, PortSummary(s.PortNumber, s.Baud, s.DataBits, s.Parity, s.StopBits));

  r.Log().Line(text::kLogLoad, text::kLogLoadGlobal);
  if (!r.SetGroupPos(text::kGroupGlobal) || !ReadGlobalGroup(r)) return false;
  AddEvent(window, text::kEvtGlobalOk);

  LoadStations(r, window);
  r.Log().Line(text::kLogLoadParameterFile, text::kLogLoadStationsEnd);
  if (r.GroupError()) return false;
  r.Log().Line(text::kLogLoadParameterFile, text::kLogLoadTrue);
  return true;
}

// Clears what an earlier load left; the caller's DryRun stays.
void ResetReport(ParLoadReport& report) {
  const bool dryRun = report.DryRun;
  ParObserver* observer = report.Observer;
  report = ParLoadReport();
  report.DryRun = dryRun;
  report.Observer = observer;
}

void FillReport(ParReader& r, bool loaded, ParLoadReport* report) {
  if (!report) return;
  ResetReport(*report);
  report->Line = r.TokenLine();
  report->DiagsSeen = r.DiagsSeen();
  report->Notes = std::move(r.Notes());
  // A successful load that ended its stations at a failing group keeps that
  // group's message; the normal end is the missing next group.
  const std::string normalEnd = std::string(text::kErrGroupMissing) + std::string(text::kGroupStation);
  if (loaded && r.Config().ParseErrorText.view() != normalEnd) {
    report->StationsEnd = r.Config().ParseErrorText.str();
    report->StationsEndLine = r.TokenLine();
  }
}

void SetOpenError(DriverConfig& config) {
  config.ParseErrorText = std::string(text::kParFileOpenError) + config.ParFileName.str();
}

bool LoadFrom(DriverConfig& config, Log& log, WindowModel* window, ParSource& source, ParLoadReport* report) {
  ParReader reader(config, log, source);
  reader.SetDiagsEnablesLogging(!(report && report->DryRun));
  if (report) reader.SetObserver(report->Observer);
  bool loaded = LoadGroups(reader, window);
  // A file that could not be read to its end is not taken for a shorter one.
  if (source.ReadFailed()) {
    SetOpenError(config);
    loaded = false;
  }
  FillReport(reader, loaded, report);
  return loaded;
}

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};

}  // namespace

bool LoadParameterFile(DriverConfig& config, Log& log, WindowModel* window) {
  return LoadParameterFile(config, log, window, nullptr);
}

bool LoadParameterFile(DriverConfig& config, Log& log, WindowModel* window, ParLoadReport* report) {
  log.Line(text::kLogLoadParameterFile, config.ParFileName.view());
  const std::string path = HostPath(config.ParFileName.view());
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
  if (!file) {
    SetOpenError(config);
    if (report) ResetReport(*report);
    return false;
  }
  ParSource source(file.get());
  return LoadFrom(config, log, window, source, report);
}

bool LoadParameterText(DriverConfig& config, Log& log, WindowModel* window, std::string_view text,
                       ParLoadReport* report) {
  log.Line(text::kLogLoadParameterFile, config.ParFileName.view());
  ParSource source(text);
  return LoadFrom(config, log, window, source, report);
}

}  // namespace qz
