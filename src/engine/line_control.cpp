#include "engine/line_control.h"

#include "engine/engine_state.h"
#include "serial/port_setup.h"
#include "serial/serial_port.h"

namespace qz {

void OpenLine(WindowModel* eventList, TSerial& port, const DriverConfig& config, EngineState& engine, Log& log) {
  ConfigurePort(eventList, port, config, log);
  RestartLine(port, engine);
}

void ResetLine(SerialLine& line, EngineState& engine) {
  PurgeLine(line);
  engine.AnswerBuffer.clear();
  engine.PrefixBuffer.clear();
}

void RestartLine(SerialLine& line, EngineState& engine) {
  engine.LineSilence = 0.0;
  engine.ThreadPhase = Phase::Idle;
  ResetLine(line, engine);
}

}  // namespace qz
