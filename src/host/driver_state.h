#pragma once
// Everything a driver instance keeps, record by owner: the configuration,
// the engine's working fields, the history read-out, the sample read-out,
// what the host's requests keep, and the log. The instance holds one; each
// layer below is given only the records it uses.

#include <atomic>
#include <cstdint>

#include "config/driver_config.h"
#include "diag/log.h"
#include "engine/engine_records.h"
#include "engine/engine_state.h"
#include "history/history_file.h"
#include "history/history_query.h"
#include "history/sample_readout.h"
#include "host/host_requests.h"

namespace qz {

struct DriverState {
  // Set by Done: the communication thread's cycle does no work and the queue
  // waits give up.
  std::atomic<std::uint8_t> StopRequest{0};

  DriverConfig Config;
  EngineState Engine;
  HistoryStore History;
  SampleReadout Samples;
  HostRequests Host;
  qz::Log Log;
};

// Gives every record its initial value; a registered host buffer stays.
bool InitDriverState(DriverState& state);

// The records of the instance that the communication engine works on.
inline EngineRecords EngineRecordsOf(DriverState& state) {
  return {state.Config, state.Engine, state.History.Query, state.Log};
}

// The instance's HDB files: named after its driver, reporting to its log.
inline HdbFiles HdbFilesOf(DriverState& state) { return {state.Config.DriverName.view(), state.Log}; }

}  // namespace qz
