#include "history/history_file.h"

#include <filesystem>
#include <fstream>

#include "config/driver_state.h"
#include "config/paths.h"
#include "diag/log.h"
#include "diag/texts.h"

namespace qz {

std::string HistoryFileName(const DriverState& state, int station) {
  return HostExecutableFolder() + state.DriverName.str() + std::to_string(station) + std::string(text::kHistoryFileSuffix);
}

std::unique_ptr<HistoryImage> LoadHistory(const DriverState& state, int station) {
  const std::string name = HistoryFileName(state, station);
  std::error_code ec;
  if (!std::filesystem::is_regular_file(name, ec)) return nullptr;
  auto image = std::make_unique<HistoryImage>();
  std::ifstream file(name, std::ios::binary);
  file.read(reinterpret_cast<char*>(image->Bytes.data()), static_cast<std::streamsize>(kHistoryImageSize));
  if (!file || file.gcount() != static_cast<std::streamsize>(kHistoryImageSize))
    std::fill(image->Bytes.begin(), image->Bytes.end(), std::uint8_t{0});
  return image;
}

bool SaveHistory(DriverState& state, int station, const HistoryImage& image) {
  const std::string name = HistoryFileName(state, station);
  std::ofstream file(name, std::ios::binary | std::ios::trunc);
  file.write(reinterpret_cast<const char*>(image.Bytes.data()), static_cast<std::streamsize>(image.Bytes.size()));
  file.close();
  if (file) return true;
  LogLine(state, text::kLogHistory, std::string(text::kLogHistorySaveFailed) + name);
  return false;
}

}  // namespace qz
