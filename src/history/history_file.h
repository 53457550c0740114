#pragma once
// HDB files: one per station, the history image byte for byte (500000
// bytes, no header), named DriverName + station index + ".hdb" in the host
// executable's folder.

#include <memory>
#include <string>
#include <string_view>

#include "history/file_replace.h"
#include "history/history_image.h"

namespace qz {

class Log;
class WindowModel;

// Whose files they are and where their loads and saves report.
struct HdbFiles {
  std::string_view DriverName;
  qz::Log& Log;
};

std::string HistoryFileName(std::string_view driverName, int station);

// The station's image from its file: none when the file does not exist, a
// cleared image when it is short or unreadable. Such a file is first renamed
// aside (".bad", see KeepFileAside) so that no later save overwrites what it
// holds; the event list and the log say so.
std::unique_ptr<HistoryImage> LoadHistory(const HdbFiles& files, int station, WindowModel* events = nullptr);

// Replaces the station's file with the image (see ReplaceFile). False, with
// the reason in the log and the old file as it was, when it cannot.
bool SaveHistory(const HdbFiles& files, int station, const HistoryImage& image, const ReplaceProbe& probe = {});

}  // namespace qz
