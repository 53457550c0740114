#pragma once
// The engine's line operations that keep its receive state and phase in
// step with the port: opening the port, emptying what is half received,
// starting the line afresh.

namespace qz {

struct DriverConfig;
struct EngineState;
class Log;
class SerialLine;
class TSerial;
class WindowModel;

// Opens the port with the [COM] settings (see ConfigurePort) and restarts
// the line (see RestartLine).
void OpenLine(WindowModel* eventList, TSerial& port, const DriverConfig& config, EngineState& engine, Log& log);

// Purges the port, then empties the receive buffers; the phase stays.
void ResetLine(SerialLine& line, EngineState& engine);

// The line as after its set-up: idle phase, no silence counted, nothing
// pending in the port or half received.
void RestartLine(SerialLine& line, EngineState& engine);

}  // namespace qz
