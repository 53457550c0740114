#pragma once
// The platform's serial device under TSerial: one implementation per
// platform (port_device_posix.cpp, port_device_win32.cpp).
//
// Every call may come from any thread. A failing platform call is handed to
// the error sink with the platform's error code and the call goes on or
// returns as its contract says; nothing throws. Release() wakes every wait
// of the device at once (the event wait, a pending read or write) and keeps
// them from blocking until the device is opened again.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "serial/serial_types.h"

namespace qz {

using ErrorSink = std::function<void(std::int32_t code)>;

// Result of one wait for line events.
struct LineEvents {
  std::uint32_t Mask = 0;  // line_event bits that occurred
  bool Released = false;   // Release() ended the wait
};

// The device a port number opens on this platform.
std::string DeviceName(int port);

class PortDevice {
 public:
  explicit PortDevice(ErrorSink sink);
  ~PortDevice();
  PortDevice(const PortDevice&) = delete;
  PortDevice& operator=(const PortDevice&) = delete;

  // Opens the device of the port exclusively; false (reported) when it
  // cannot be opened.
  bool Open(int port);
  // Sizes of the driver's input and output buffers, where the platform has them.
  void SetupQueues(std::uint16_t rxSize, std::uint16_t txSize);
  // Applies the line settings; each failing step is reported and the next runs.
  void Apply(const LineSettings& settings);
  // Which events WaitEvents listens for.
  void SetEventMask(std::uint32_t mask);
  void Release();
  void Close();

  // Writes all bytes, waiting at most timeLimitMs for them to be taken.
  void Write(std::string_view bytes, std::int32_t timeLimitMs);
  // Reads at most one byte, waiting at most waitMs; returns 0 or 1.
  int ReadByte(std::uint8_t& byte, std::int32_t waitMs);
  // Bytes waiting in the input / output buffer; false (reported) on failure.
  bool Counts(std::int32_t& rx, std::int32_t& tx);
  // Aborts pending reads and/or writes; buffered bytes stay.
  bool Purge(bool reads, bool writes);
  bool SetSignal(OutputSignal signal, bool on);
  bool ReadModemSignals(ModemSignals& signals);

  // Whether the device went away while open (an adapter pulled, the far
  // end of a pty gone): an operation on it failed with an error that means
  // the device is no more. Cleared by Open.
  bool Lost() const;
  // The platform's error code that told of the loss.
  std::int32_t LostCode() const;

  // Blocks until one of the listened events, a failure of the device or
  // Release(). A device that failed is not watched again until reopened.
  // interest: the line_event bits someone handles; where the platform has to
  // look for an event itself it looks only for these.
  LineEvents WaitEvents(std::uint32_t interest);

  // The engine's wait on the line: blocks until bytes arrive (watchRx, on
  // an open device), the line's traffic wakes it (Windows: a character
  // received or the output drained, told by the event thread), WakeLine,
  // Release, or timeoutMs (< 0: no limit). A WakeLine made before the wait
  // ends the next wait at once.
  void AwaitLine(bool watchRx, std::int32_t timeoutMs);
  void WakeLine();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace qz
