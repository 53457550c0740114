#pragma once
// The instance object the host holds between MakeDriver and DisposeDriver.

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

#include "diag/status_window.h"
#include "diag/window_model.h"
#include "host/channel_index.h"
#include "host/communication.h"
#include "host/driver_state.h"
#include "serial/serial_port.h"

struct DriverHandle {
  DriverHandle();
  ~DriverHandle();
  DriverHandle(const DriverHandle&) = delete;
  DriverHandle& operator=(const DriverHandle&) = delete;

  // The status window; none before Init, released by Done. The model is
  // what the driver writes; NativeWindow, where the platform has one, shows
  // it and may outlive Done for a moment when Done runs in another thread
  // than the window's.
  std::shared_ptr<qz::WindowModel> Window;
  std::shared_ptr<qz::StatusWindow> NativeWindow;
  std::uint32_t AccessLevel = 0;
  // 1 while the communication thread runs; Done stops it only then.
  std::atomic<std::uint8_t> Running{0};
  std::unique_ptr<qz::DriverState> State;
  // The serial port; created closed by MakeDriver, closed first by Done,
  // released by DisposeDriver just before the state.
  std::unique_ptr<qz::TSerial> Port;
  // The communication thread; started by Init when the port opened,
  // stopped by Done.
  std::unique_ptr<qz::Communication> Thread;
  // Which station item claims each host channel; built when the parameter
  // file has been loaded, cleared before it is loaded again.
  qz::ChannelIndex Channels;

  // Serialises the host's calls with the communication thread's work on the
  // state: queue changes and the operations the thread hands to the host's
  // side run under it. Done never holds it while waiting for the thread.
  // No path takes it twice: a function that runs under it says so and
  // never locks it again.
  std::mutex Lock;
};
