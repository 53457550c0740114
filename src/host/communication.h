#pragma once
// The communication thread of an instance with everything it works
// through: the port as the engine's line, the clock, the event hand-over to
// the window and the answer decoder.

#include <memory>

struct DriverHandle;

namespace qz {

class Communication;

// Resets the engine's queues, counters and timers before the line starts.
void ResetEngine(DriverHandle& h);

// Starts the thread of an instance whose port is open (its Thread). Under
// the instance lock.
void StartCommunication(DriverHandle& h);

// Opens the port of a running line again when it is closed (the host's line
// reset); a port whose device went away is otherwise retried by the thread
// every two seconds. Under the instance lock.
void ReopenPort(DriverHandle& h);

// Stops and releases the thread; call without holding the instance lock.
void StopCommunication(std::unique_ptr<Communication>& thread);

}  // namespace qz
