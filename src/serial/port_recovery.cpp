#include "serial/port_recovery.h"

namespace qz {

namespace {

constexpr std::int32_t kDayCs = 8'640'000;

// Time of day passed since then; across midnight the day is added back.
std::int32_t ElapsedCs(std::int32_t since, std::int32_t now) {
  const std::int32_t elapsed = now - since;
  return elapsed >= 0 ? elapsed : elapsed + kDayCs;
}

}  // namespace

PortRecovery::PortRecovery(RecoverablePort& port, const Clock& clock, Listener listener)
    : port_(port), clock_(clock), listener_(std::move(listener)) {}

void PortRecovery::Supervise() {
  if (!down_) {
    if (port_.DeviceLost()) NoteLoss();
    return;
  }
  if (port_.Active()) {  // the host opened it again (a modem connection)
    down_ = false;
    if (listener_.Back) listener_.Back();
    return;
  }
  const std::int32_t now = TimeOfDayCs(clock_);
  if (ElapsedCs(lastTryCs_, now) >= kRetryCs) TryOpen(now);
}

void PortRecovery::ReopenNow() {
  if (!down_ && port_.DeviceLost()) NoteLoss();
  if (!port_.Active()) TryOpen(TimeOfDayCs(clock_));
}

void PortRecovery::NoteLoss() {
  const std::int32_t code = port_.LostErrorCode();
  port_.SetActive(false);
  down_ = true;
  // The device has only just gone: the first attempt waits a whole period.
  lastTryCs_ = TimeOfDayCs(clock_);
  if (listener_.Lost) listener_.Lost(code);
}

void PortRecovery::TryOpen(std::int32_t now) {
  lastTryCs_ = now;
  port_.SetActive(true);
  if (!port_.Active()) {
    down_ = true;  // a closed port that the line reset could not open is retried too
    return;
  }
  down_ = false;
  if (listener_.Back) listener_.Back();
}

}  // namespace qz
