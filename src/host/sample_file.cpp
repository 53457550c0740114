#include "host/sample_file.h"

#include <cstdio>
#include <memory>

#include "diag/paths.h"
#include "diag/texts.h"
#include "host/driver_state.h"

namespace qz {

namespace {

constexpr std::size_t kSampleFileRecord = 31;

std::string TwoDigits(int value) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "%02d", value % 100);
  return buf;
}

const StationRecord* ReadoutStation(const DriverState& s) {
  const int n = s.Samples.SampleReadoutStation;
  if (n < 1 || n > kMaxStations) return nullptr;
  return s.Config.Stations[static_cast<std::size_t>(n)].get();
}

// Sample 2 when the station has QQ variables (the first answers late), else 1.
const HistorySample& ReferenceSample(const DriverState& s, const StationRecord* station) {
  const std::size_t index = station && station->QqVariables ? 2 : 1;
  return (*s.Samples.HistorySamples)[index];
}

std::string SampleRecord(const HistorySample& sample) {
  std::string record(sample.Time.begin(), sample.Time.end());
  record.push_back(static_cast<char>(sample.Status));
  for (const auto& value : sample.Values) {
    for (std::size_t i = 0; i < 3; ++i) record.push_back(static_cast<char>(value.byte(i)));
  }
  return record;
}

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};

}  // namespace

std::string StationCode(int address) {
  if (address < 100) return TwoDigits(address);
  const int above = address - 100;
  return std::string(1, static_cast<char>('A' + above / 10)) + std::to_string(above % 10);
}

std::string SampleFileName(const DriverState& s) {
  const StationRecord* station = ReadoutStation(s);
  const HistorySample& reference = ReferenceSample(s, station);
  std::string name = StationCode(station ? station->Address : 0);
  name += std::to_string(s.Samples.HistoryPeriod % 10);
  name += std::to_string(reference.Time[0] % 10);
  name += TwoDigits(reference.Time[1]);
  name += TwoDigits(reference.Time[2]);
  name += text::kSampleFileSuffix;
  return name;
}

std::string SampleFolder(const DriverState& s) {
#ifndef _WIN32
  if (s.Config.CucPath == "C:\\") return RootFolder();  // the default folder
#endif
  return HostPath(s.Config.CucPath.view());
}

bool WriteSampleFile(const DriverState& s) {
  if (!s.Samples.HistorySamples) return false;
  const std::string path = SampleFolder(s) + SampleFileName(s);
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "wb"));
  if (!file) return false;
  bool ok = true;
  for (const HistorySample& sample : *s.Samples.HistorySamples) {
    const std::string record = SampleRecord(sample);
    if (std::fwrite(record.data(), 1, kSampleFileRecord, file.get()) != kSampleFileRecord) {
      ok = false;
      break;
    }
  }
  return std::fclose(file.release()) == 0 && ok;
}

}  // namespace qz
