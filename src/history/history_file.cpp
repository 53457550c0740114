#include "history/history_file.h"

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "diag/log.h"
#include "diag/paths.h"
#include "diag/texts.h"
#include "diag/window_model.h"

namespace qz {

namespace {

std::string Format(std::string_view format, const std::string& a, const std::string& b = {},
                   const std::string& c = {}) {
  char buf[1024];
  std::snprintf(buf, sizeof buf, std::string(format).c_str(), a.c_str(), b.c_str(), c.c_str());
  return buf;
}

std::string BaseName(const std::string& path) {
  const std::size_t cut = path.find_last_of("/\\");
  return cut == std::string::npos ? path : path.substr(cut + 1);
}

// Reads the whole image; empty when the file is short or unreadable, with
// what was wrong in problem.
bool ReadImage(const std::string& name, HistoryImage& image, std::string& problem) {
  std::ifstream file(name, std::ios::binary);
  if (!file) {
    problem = "cannot be opened";
    return false;
  }
  file.read(reinterpret_cast<char*>(image.Bytes.data()), static_cast<std::streamsize>(kHistoryImageSize));
  const auto got = file.gcount();
  if (got == static_cast<std::streamsize>(kHistoryImageSize)) return true;
  problem = file.bad() ? "cannot be read" : std::to_string(got) + " bytes";
  return false;
}

// A file that would load as a cleared image goes aside, so that the cleared
// image saved later does not take the place of what it still holds.
void KeepAside(Log& log, const std::string& name, const std::string& problem, WindowModel* events) {
  std::string error;
  const std::string aside = KeepFileAside(name, error);
  if (!aside.empty()) {
    AddEvent(events, Format(text::kEvtHistoryKeptAside, BaseName(name), BaseName(aside)));
    log.Line(text::kLogHistory, Format(text::kLogHistoryKeptAside, name, problem, aside));
  } else {
    AddEvent(events, Format(text::kEvtHistoryNotKeptAside, BaseName(name)));
    log.Line(text::kLogHistory, Format(text::kLogHistoryNotKeptAside, name, problem, error));
  }
}

}  // namespace

std::string HistoryFileName(std::string_view driverName, int station) {
  return HostExecutableFolder() + std::string(driverName) + std::to_string(station) + std::string(text::kHistoryFileSuffix);
}

std::unique_ptr<HistoryImage> LoadHistory(const HdbFiles& files, int station, WindowModel* events) {
  const std::string name = HistoryFileName(files.DriverName, station);
  std::error_code ec;
  if (!std::filesystem::is_regular_file(name, ec)) return nullptr;
  auto image = std::make_unique<HistoryImage>();
  std::string problem;
  if (!ReadImage(name, *image, problem)) {
    std::fill(image->Bytes.begin(), image->Bytes.end(), std::uint8_t{0});
    KeepAside(files.Log, name, problem, events);
  }
  return image;
}

bool SaveHistory(const HdbFiles& files, int station, const HistoryImage& image, const ReplaceProbe& probe) {
  const std::string name = HistoryFileName(files.DriverName, station);
  const std::string_view bytes(reinterpret_cast<const char*>(image.Bytes.data()), image.Bytes.size());
  const ReplaceResult result = ReplaceFile(name, bytes, probe);
  if (!result.Ok) {
    files.Log.Line(text::kLogHistory, std::string(text::kLogHistorySaveFailed) + name + ": " + result.Error);
    return false;
  }
  if (result.WasLink) files.Log.Line(text::kLogHistory, Format(text::kLogHistoryLinkReplaced, name, result.LinkTarget));
  return true;
}

}  // namespace qz
