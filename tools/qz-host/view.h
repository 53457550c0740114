#pragma once
// A reading as a terminal screen or as one JSON line.

#include <string>
#include <vector>

#include "commands.h"
#include "layout.h"
#include "scan.h"

namespace qzhost {

// The events the screen keeps, newest last.
inline constexpr std::size_t kScreenEvents = 12;

struct ScreenContext {
  const FileLocations* Files = nullptr;
  std::string Note;  // the result of the last command
  const std::vector<StampedEvent>* RecentEvents = nullptr;
};

std::string Screen(const Reading& r, const ScreenContext& context);

// One reading: time stamps, stations with their values and states, the
// statistics and line values as numbers, the status texts and the events
// first seen since the previous line.
std::string JsonLine(const Reading& r);
// The result of one command.
std::string JsonCommand(double seconds, const std::string& iso, const std::string& line, const CommandResult& result);
// Where the files are: at the start (phase "start") and at the end ("end").
std::string JsonFiles(double seconds, const std::string& iso, const std::string& phase, const FileLocations& files);
// The same for people.
std::string FilesText(const FileLocations& files);

// Local time of a system-clock instant, as HH:MM:SS.mmm and as ISO 8601.
std::string ClockText(double unixSeconds);
std::string IsoText(double unixSeconds);

}  // namespace qzhost
