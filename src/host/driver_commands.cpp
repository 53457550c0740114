#include "host/driver_commands.h"

#include <string>

#include "diag/texts.h"
#include "diag/window_model.h"
#include "engine/line_control.h"
#include "history/history_file.h"
#include "history/history_readout.h"
#include "history/history_state.h"
#include "host/driver_handle.h"
#include "host/driver_state.h"
#include "host/queue_requests.h"

namespace qz {

namespace {

// The indirect write names its target in the ORIGINAL_CHANNELS numbering,
// whatever channels the station really has.
constexpr int kOriginalBlock = 500;

}  // namespace

void StartSampleReadout(DriverState& s) {
  if (s.Samples.HistorySamples) {
    for (HistorySample& sample : *s.Samples.HistorySamples) ClearHistorySample(sample);
  }
  QueueSampleRead(s);
}

void SelectHistoryStation(DriverState& s, std::int16_t station) {
  if (station >= 1 && station <= s.Config.StationCount) {
    s.History.Query.HistoryStation = station;
    s.History.Query.HistoryState = HistoryPhase::Selected;
    UpdateHistoryDateWords(s.History, s.Config.StationCount);
  } else {
    s.History.Query.HistoryState = HistoryPhase::InvalidSelection;
  }
}

void SelectHistoryUser(DriverState& s, std::int16_t user) {
  if (user >= 1 && user <= 8) {
    s.History.Query.HistoryUser = user;
    s.History.Query.HistoryState = HistoryPhase::Selected;
  } else {
    s.History.Query.HistoryState = HistoryPhase::InvalidSelection;
  }
}

void StartHistoryReadout(DriverHandle& h) {
  HistoryQuery& q = h.State->History.Query;
  switch (q.HistoryState) {
    case HistoryPhase::Idle:
    case HistoryPhase::Selected:
    case HistoryPhase::Aborted:
    case HistoryPhase::TimedOut:
    case HistoryPhase::Finished: break;
    default: return;
  }
  AddEvent(h.Window.get(), text::kEvtHistoryStart);
  q.HistoryState = HistoryPhase::ReadingPositions;
  // The capacity, the auxiliary value, the top and the user's position.
  Request r;
  r.Station = static_cast<std::uint8_t>(q.HistoryStation);
  r.Kind = RequestKind::QqRead;
  r.Item = 0;
  r.Data = std::string{0x00, 0x00, 0x01, '\xBA', 0x01, 0x0D, '\xBA', 0x01, 0x0E, '\xBA', 0x01,
                       static_cast<char>(q.HistoryUser + 4)};
  h.State->Engine.ReadQueue.Insert(r);
}

void AbortHistoryReadout(DriverHandle& h) {
  HistoryQuery& q = h.State->History.Query;
  if (q.HistoryState != HistoryPhase::ReadingRecords && q.HistoryState != HistoryPhase::ReadingPositions) return;
  AddEvent(h.Window.get(), text::kEvtHistoryAbort);
  q.HistoryState = HistoryPhase::Aborted;
  ResetTheLine(h);
}

void SaveHistories(DriverState& s) {
  const HdbFiles files = HdbFilesOf(s);
  for (int n = 1; n <= kMaxStations; ++n) {
    const HistoryImage* image = s.History.Image(n);
    if (image && s.Config.Stations[static_cast<std::size_t>(n)]) SaveHistory(files, n, *image);
  }
}

void ResetTheLine(DriverHandle& h) {
  EngineState& e = h.State->Engine;
  e.ReadQueue.Clear();
  e.WriteQueue.Clear();
  ResetLine(*h.Port, e);
  e.ThreadPhase = Phase::Idle;
  e.LastSent.clear();
}

void ApplyPendingWrite(DriverState& s) {
  if (s.Host.HostWritePending == 0) return;
  const int k = s.Host.HostWriteChannel;
  const int n = k / kOriginalBlock + 1;
  const int r = k % kOriginalBlock;
  if (n < 1 || n > s.Config.StationCount) return;
  StationRecord& st = s.Config.Station(n);
  const double value = s.Host.HostWriteValue;
  if (r >= 1 && r <= kMaxBinarIn) st.BinarInValue[static_cast<std::size_t>(r)] = value != 0.0 ? 1 : 0;
  if (r >= 193 && r <= 256) st.AnalogInValue[static_cast<std::size_t>(r - 192)] = value;
}

}  // namespace qz
