#pragma once
// The records the communication engine works on: the configuration (its
// station records take the values and status), its own state, the history
// query it supervises, and the log its encoder and receiver write.

namespace qz {

struct DriverConfig;
struct EngineState;
struct HistoryQuery;
class Log;

struct EngineRecords {
  DriverConfig& Config;
  EngineState& Engine;
  HistoryQuery& Query;
  qz::Log& Log;
};

}  // namespace qz
