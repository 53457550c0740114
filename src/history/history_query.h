#pragma once
// The history read-out the host runs: which station and user, the ring
// positions the station reported, the state of the read-out, and the
// memory images read out of the stations, one per station.

#include <array>
#include <cstdint>
#include <memory>

#include "config/index1.h"
#include "config/real6.h"
#include "config/station.h"
#include "history/history_image.h"
#include "history/history_state.h"

namespace qz {

struct HistoryQuery {
  std::int32_t HistoryStation = 1;
  std::int32_t HistoryUser = 1;
  std::int32_t HistoryUserPos = 0;
  std::int32_t HistoryTop = 0;
  std::int32_t HistoryAux = 0;
  std::int32_t HistoryCapacity = 0;
  HistoryPhase HistoryState = HistoryPhase::Idle;
  Real6 HistoryElapsed;
  Real6 HistoryTimeout = 600.0;
  std::uint16_t HistoryRecordIndex = 0;
  std::uint8_t HistoryBusy = 0;
  // day, month, year, hour, minute, second of the selected record
  std::array<std::uint16_t, 6> DateWords{};
};

// The query and the stations' history images (none until an HDB file was
// loaded or a read-out brought records).
struct HistoryStore {
  HistoryQuery Query;
  Array1<std::unique_ptr<HistoryImage>, kMaxStations> Images;

  // Station n's image slot; n in 1..kMaxStations.
  std::unique_ptr<HistoryImage>& ImageSlot(int n) { return Images[static_cast<std::size_t>(n)]; }
  const HistoryImage* Image(int n) const {
    return n >= 1 && n <= kMaxStations ? Images[static_cast<std::size_t>(n)].get() : nullptr;
  }
};

}  // namespace qz
