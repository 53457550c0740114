#pragma once
// The [STATION] groups of the parameter file.

#include <span>
#include <string_view>

namespace qz {

class ParReader;
class WindowModel;

inline constexpr int kStationKeywordCount = 57;

// Station keyword of index 1..57 as the file and the messages spell it.
std::string_view StationKeywordName(int index);
// All of them in table order, END last.
std::span<const std::string_view> StationKeywords();

// Reads one [STATION] group after another into stations 1, 2, ... (at most
// 100). The first failing group ends the stations; the load still succeeds
// when at least one station was read, with StationCount including the
// failing one. Failure (no station at all) raises the group error flag with
// ParseErrorText set.
void LoadStations(ParReader& reader, WindowModel* window);

}  // namespace qz
