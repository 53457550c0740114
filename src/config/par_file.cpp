#include "config/par_file.h"

#include <cstdio>
#include <memory>

#include "config/driver_state.h"
#include "config/par_global.h"
#include "config/par_reader.h"
#include "config/par_stations.h"
#include "config/paths.h"
#include "diag/log.h"
#include "diag/texts.h"
#include "diag/window_model.h"

namespace qz {

namespace {

bool LoadGroups(ParReader& r, WindowModel* window) {
  DriverState& s = r.State();
  LogLine(s, text::kLogLoad, text::kLogLoadCom);
  if (!r.SetGroupPos(text::kGroupCom) || !ReadComGroup(r)) return false;
  AddEvent(window, PortSummary(s.PortNumber, s.Baud, s.DataBits, s.Parity, s.StopBits));

  LogLine(s, text::kLogLoad, text::kLogLoadGlobal);
  if (!r.SetGroupPos(text::kGroupGlobal) || !ReadGlobalGroup(r)) return false;
  AddEvent(window, text::kEvtGlobalOk);

  LoadStations(r, window);
  LogLine(s, text::kLogLoadParameterFile, text::kLogLoadStationsEnd);
  if (r.GroupError()) return false;
  LogLine(s, text::kLogLoadParameterFile, text::kLogLoadTrue);
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
  if (loaded && r.State().ParseErrorText.view() != normalEnd) {
    report->StationsEnd = r.State().ParseErrorText.str();
    report->StationsEndLine = r.TokenLine();
  }
}

void SetOpenError(DriverState& state) {
  state.ParseErrorText = std::string(text::kParFileOpenError) + state.ParFileName.str();
}

bool LoadFrom(DriverState& state, WindowModel* window, ParSource& source, ParLoadReport* report) {
  ParReader reader(state, source);
  reader.SetDiagsEnablesLogging(!(report && report->DryRun));
  if (report) reader.SetObserver(report->Observer);
  bool loaded = LoadGroups(reader, window);
  // A file that could not be read to its end is not taken for a shorter one.
  if (source.ReadFailed()) {
    SetOpenError(state);
    loaded = false;
  }
  FillReport(reader, loaded, report);
  return loaded;
}

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};

}  // namespace

bool LoadParameterFile(DriverState& state, WindowModel* window) {
  return LoadParameterFile(state, window, nullptr);
}

bool LoadParameterFile(DriverState& state, WindowModel* window, ParLoadReport* report) {
  LogLine(state, text::kLogLoadParameterFile, state.ParFileName.view());
  const std::string path = HostPath(state.ParFileName.view());
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
  if (!file) {
    SetOpenError(state);
    if (report) ResetReport(*report);
    return false;
  }
  ParSource source(file.get());
  return LoadFrom(state, window, source, report);
}

bool LoadParameterText(DriverState& state, WindowModel* window, std::string_view text,
                       ParLoadReport* report) {
  LogLine(state, text::kLogLoadParameterFile, state.ParFileName.view());
  ParSource source(text);
  return LoadFrom(state, window, source, report);
}

}  // namespace qz
