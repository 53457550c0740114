#pragma once
// HDB files: one per station, the history image byte for byte (500000
// bytes, no header), named DriverName + station index + ".hdb" in the host
// executable's folder.

#include <memory>
#include <string>

#include "history/history_image.h"

namespace qz {

struct DriverState;

std::string HistoryFileName(const DriverState& state, int station);

// The station's image from its file: none when the file does not exist, a
// cleared image when it is short or unreadable.
std::unique_ptr<HistoryImage> LoadHistory(const DriverState& state, int station);

// Writes the image to the station's file, replacing an old one. False when
// the file cannot be written.
bool SaveHistory(DriverState& state, int station, const HistoryImage& image);

}  // namespace qz
