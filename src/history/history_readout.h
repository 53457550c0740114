#pragma once
// Planning the read-out of a station's history ring, the record time, and
// the record the host selected.

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "config/request.h"
#include "history/history_image.h"
#include "history/history_query.h"

namespace qz {

inline constexpr std::size_t kHistoryChunk = 192;

// The read requests (kinds 240..247, Item the 16-bit address, Data one
// byte: the count) for records userPos up to, not including, top; when the
// ring has wrapped (userPos > top) from userPos to the end of the image,
// then from its start up to top.
std::vector<Request> HistoryReadoutRequests(int station, std::int32_t userPos, std::int32_t top);

struct HistoryDate {
  std::uint16_t Day = 1, Month = 1, Year = 2000, Hour = 0, Minute = 0, Second = 0;
};

// Seconds since 2000-01-01 00:00:00 as a calendar date and time.
HistoryDate DecodeHistoryTime(std::uint32_t seconds);

// The record the host selected, when the selection is usable: record index
// below 50000, HistoryStation one of the stationCount loaded stations and
// with an image, no answer being copied in.
std::optional<HistoryRecord> SelectedHistoryRecord(const HistoryStore& history, int stationCount);

// Sets the query's date words from the selected record; leaves them when
// the selection is not usable. Returns whether they were set.
bool UpdateHistoryDateWords(HistoryStore& history, int stationCount);

}  // namespace qz
