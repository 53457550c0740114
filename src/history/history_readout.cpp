#include "history/history_readout.h"

#include <algorithm>


namespace qz {

namespace {

void AddPass(std::vector<Request>& out, int station, std::uint32_t start, std::uint32_t end) {
  for (std::uint32_t d = start; d <= end;) {
    const std::uint32_t chunk = std::min<std::uint32_t>(end - d + 1, kHistoryChunk);
    Request r;
    r.Station = static_cast<std::uint8_t>(station);
    r.Kind = static_cast<RequestKind>(d >> 16);  // 240..247: the bank of the address
    r.Item = static_cast<std::uint16_t>(d & 0xFFFF);
    r.Data = std::string(1, static_cast<char>(chunk));
    out.push_back(std::move(r));
    d += chunk;
  }
}

bool IsLeapYear(int year) { return year % 4 == 0; }

}  // namespace

std::vector<Request> HistoryReadoutRequests(int station, std::int32_t userPos, std::int32_t top) {
  std::vector<Request> out;
  // Positions outside the ring are no record indices.
  const auto limit = static_cast<std::int32_t>(kHistoryRecordCount);
  if (userPos < 0 || top < 0 || userPos > limit || top > limit) return out;
  const std::uint32_t u = static_cast<std::uint32_t>(userPos);
  const std::uint32_t t = static_cast<std::uint32_t>(top);
  const std::uint32_t lastByte = kHistoryMemoryBase + kHistoryImageSize - 1;
  const std::uint32_t start = kHistoryMemoryBase + 10 * u;
  if (u > t) {
    AddPass(out, station, start, lastByte);
    if (t != 0) AddPass(out, station, kHistoryMemoryBase, kHistoryMemoryBase + 10 * t - 1);
  } else if (u < t) {
    AddPass(out, station, start, kHistoryMemoryBase + 10 * t - 1);
  }
  return out;
}

HistoryDate DecodeHistoryTime(std::uint32_t seconds) {
  static constexpr int kMonthDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  HistoryDate date;
  date.Hour = static_cast<std::uint16_t>((seconds % 86400) / 3600);
  date.Minute = static_cast<std::uint16_t>((seconds % 3600) / 60);
  date.Second = static_cast<std::uint16_t>(seconds % 60);
  int day = 1, month = 1, year = 2000;
  for (std::uint32_t days = seconds / 86400; days > 0; --days) {
    if (month == 2 && day == 28 && IsLeapYear(year)) {
      day = 29;
    } else if (day >= kMonthDays[month - 1]) {
      day = 1;
      if (++month > 12) {
        month = 1;
        ++year;
      }
    } else {
      ++day;
    }
  }
  date.Day = static_cast<std::uint16_t>(day);
  date.Month = static_cast<std::uint16_t>(month);
  date.Year = static_cast<std::uint16_t>(year);
  return date;
}

std::optional<HistoryRecord> SelectedHistoryRecord(const HistoryStore& history, int stationCount) {
  const HistoryQuery& q = history.Query;
  if (q.HistoryRecordIndex >= kHistoryRecordCount) return std::nullopt;
  if (q.HistoryStation < 1 || q.HistoryStation > stationCount) return std::nullopt;
  const HistoryImage* image = history.Image(q.HistoryStation);
  if (!image || q.HistoryBusy) return std::nullopt;
  return ReadHistoryRecord(*image, q.HistoryRecordIndex);
}

bool UpdateHistoryDateWords(HistoryStore& history, int stationCount) {
  const auto record = SelectedHistoryRecord(history, stationCount);
  if (!record) return false;
  const HistoryDate d = DecodeHistoryTime(record->Seconds);
  history.Query.DateWords = {d.Day, d.Month, d.Year, d.Hour, d.Minute, d.Second};
  return true;
}

}  // namespace qz
