#pragma once
// What the engine needs of the world around it: the line, the clock and the
// way its event texts and log lines leave it. Tests pass an in-memory line, a
// fake clock and a recorder.

#include <functional>
#include <string_view>

#include "diag/log.h"
#include "serial/clock.h"
#include "serial/serial_line.h"

namespace qz {

struct EngineIo {
  SerialLine& Line;
  const Clock& Time;
  // Hands an event text to the window and the log at once.
  std::function<void(std::string_view)> ShowEvent;
  // A short tone (frequency in Hz, length in ms); may be empty.
  std::function<void(int, int)> Beep;
  // Takes the engine's log lines; may be empty (nothing is logged).
  LogSink Log;
};

}  // namespace qz
