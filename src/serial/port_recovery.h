#pragma once
// Keeps a line's port through the loss of its device: when the device goes
// away (a USB adapter pulled) the port is closed, and the same port is
// tried again every two seconds or so until it opens. The owner calls
// Supervise once per cycle of its thread, so no thread waits or spins on a
// port that is gone.
//
// Time comes from the clock (time of day, hundredths of a second), so tests
// jump it instead of waiting.

#include <cstdint>
#include <functional>

#include "serial/clock.h"

namespace qz {

// What the recovery needs of a port; TSerial provides it.
class RecoverablePort {
 public:
  virtual ~RecoverablePort() = default;
  virtual int Port() const = 0;
  virtual bool Active() const = 0;
  virtual void SetActive(bool active) = 0;
  // Open, but the device behind it is gone.
  virtual bool DeviceLost() const = 0;
  virtual std::int32_t LostErrorCode() const = 0;
  virtual std::int32_t ErrorCode() const = 0;
};

class PortRecovery {
 public:
  // Time between two attempts to reopen a lost port, hundredths of a second.
  static constexpr std::int32_t kRetryCs = 200;

  struct Listener {
    // The device went away; the port has been closed. code: the platform's error.
    std::function<void(std::int32_t code)> Lost;
    // The port is open again.
    std::function<void()> Back;
  };

  PortRecovery(RecoverablePort& port, const Clock& clock, Listener listener);

  // Notices a lost device, and tries a lost port again when its time has come.
  void Supervise();
  // Opens a closed port at once (the host's line reset), noticing a loss first.
  void ReopenNow();

  // Whether the port is closed because its device went away.
  bool Down() const { return down_; }

 private:
  void NoteLoss();
  void TryOpen(std::int32_t now);

  RecoverablePort& port_;
  const Clock& clock_;
  Listener listener_;
  bool down_ = false;
  std::int32_t lastTryCs_ = 0;
};

}  // namespace qz
