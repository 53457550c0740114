#pragma once
// Waiting as a host's main thread waits: the thread keeps dispatching its
// window messages (the driver's window lives in it) until the time is up or
// a condition holds.

#include <functional>

namespace wt {

// Dispatches messages for ms milliseconds.
void Pump(int ms);

// Pumps until the condition holds (true) or ms milliseconds have passed (false).
bool PumpUntil(const std::function<bool()>& condition, int ms);

// Milliseconds of a monotonic clock.
double NowMs();

}  // namespace wt
