// The serial device over termios: real ports and pseudo-terminals.
//
// All I/O is non-blocking; the bounded waits poll the descriptor together
// with a wake pipe, so closing the port releases every wait at once.
// Failures are handed to the error sink only after the device's locks are
// released, so that a handler may use the port again.

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <mutex>
#include <shared_mutex>

#include "serial/port_device.h"
#include "serial/termios_settings_posix.h"

namespace qz {

namespace {

// How often a wait looks at the modem lines and the output queue when
// someone handles their changes (a tty announces neither through poll).
constexpr int kStatusPollMs = 100;

using SteadyClock = std::chrono::steady_clock;

// Errors of an open tty that mean the device itself is gone: a hung-up or
// removed device fails every call with one of these.
bool MeansDeviceGone(int code) {
  switch (code) {
    case EIO:
    case ENXIO:
    case ENODEV:
    case EBADF:
    case EPIPE:
      return true;
    default:
      return false;
  }
}

int MillisecondsLeft(SteadyClock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - SteadyClock::now());
  return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

}  // namespace

std::string DeviceName(int port) {
  const std::string variable = "QZ_COM" + std::to_string(port);
  if (const char* named = std::getenv(variable.c_str()); named && *named) return named;
  return "/dev/ttyS" + std::to_string(port - 1);
}

struct PortDevice::Impl {
  ErrorSink Sink;
  std::shared_mutex Life;  // held exclusively while the descriptor changes
  std::mutex ReadLock;
  std::mutex WriteLock;
  int Fd = -1;
  int Wake[2] = {-1, -1};
  int Kick[2] = {-1, -1};  // WakeLine's pipe: ends the engine's line wait
  std::atomic<bool> Released{false};
  std::atomic<bool> Failed{false};  // hung up; not watched until reopened
  std::atomic<bool> Lost{false};
  std::atomic<int> LostCode{0};

  // Event wait state (the event thread's own).
  int LastReportedRx = 0;
  bool HaveStatus = false;
  ModemSignals LastSignals;
  int LastTxCount = 0;

  void Report(int code) const {
    if (code != 0 && Sink) Sink(code);
  }

  // Reports the failure of an operation on the open device, noting first
  // whether it means the device is gone.
  void ReportIo(int code) {
    if (MeansDeviceGone(code) && !Lost) {
      LostCode = code;  // first, so that whoever sees Lost finds the code
      Lost = true;
    }
    Report(code);
  }

  void DrainWake() const {
    char buffer[16];
    while (::read(Wake[0], buffer, sizeof buffer) > 0) {
    }
  }

  bool InputCount(int& count) const { return ::ioctl(Fd, FIONREAD, &count) == 0; }

  int OpenLocked(const std::string& name);
  int WriteLocked(std::string_view bytes, std::int32_t timeLimitMs);
  int ReadLocked(std::uint8_t& byte, std::int32_t waitMs, int& delivered);
  int WaitLocked(std::uint32_t interest, LineEvents& events);
  std::uint32_t StatusChanges(std::uint32_t interest);
  // Waits for the descriptor or the wake pipe; an error code when poll failed.
  int WaitIo(short events, int timeoutMs, bool& released) const;
};

int PortDevice::Impl::OpenLocked(const std::string& name) {
  const int fd = ::open(name.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return errno;
  // One user of a port at a time, as the port is opened without sharing.
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int error = errno;
    ::close(fd);
    return error;
  }
  if (::isatty(fd)) ::ioctl(fd, TIOCEXCL);
  Fd = fd;
  return 0;
}

int PortDevice::Impl::WaitIo(short events, int timeoutMs, bool& released) const {
  pollfd fds[2] = {{Fd, events, 0}, {Wake[0], POLLIN, 0}};
  for (;;) {
    const int r = ::poll(fds, 2, timeoutMs);
    if (r < 0 && errno == EINTR) continue;
    if (r < 0) return errno;
    released = fds[1].revents != 0;
    return 0;
  }
}

int PortDevice::Impl::WriteLocked(std::string_view bytes, std::int32_t timeLimitMs) {
  if (Fd < 0) return EBADF;
  const auto deadline = SteadyClock::now() + std::chrono::milliseconds(timeLimitMs);
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(Fd, bytes.data() + done, bytes.size() - done);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN) return errno;
    // The output buffer is full (flow control holds the line): wait for room.
    const int left = MillisecondsLeft(deadline);
    if (left == 0) return ETIMEDOUT;
    bool released = false;
    if (const int error = WaitIo(POLLOUT, left, released)) return error;
    if (released) return 0;  // the port is closing; the write is abandoned
  }
  return 0;
}

int PortDevice::Impl::ReadLocked(std::uint8_t& byte, std::int32_t waitMs, int& delivered) {
  delivered = 0;
  if (Fd < 0) return EBADF;
  bool waited = false;
  for (;;) {
    const ssize_t n = ::read(Fd, &byte, 1);
    if (n == 1) {
      delivered = 1;
      return 0;
    }
    if (n == 0) return EIO;  // a hung-up tty reads as end of file
    if (errno == EINTR) continue;
    if (errno != EAGAIN) return errno;
    if (waited) return 0;
    bool released = false;
    if (const int error = WaitIo(POLLIN, waitMs, released)) return error;
    if (released) return 0;
    waited = true;
  }
}

// Compares the modem lines and the output queue with their last values.
std::uint32_t PortDevice::Impl::StatusChanges(std::uint32_t interest) {
  std::uint32_t mask = 0;
  int bits = 0;
  if (::ioctl(Fd, TIOCMGET, &bits) == 0) {
    const ModemSignals now{(bits & TIOCM_CTS) != 0, (bits & TIOCM_DSR) != 0, (bits & TIOCM_RNG) != 0,
                           (bits & TIOCM_CAR) != 0};
    if (HaveStatus) {
      if (now.Cts != LastSignals.Cts) mask |= line_event::kCts;
      if (now.Dsr != LastSignals.Dsr) mask |= line_event::kDsr;
      if (now.Rlsd != LastSignals.Rlsd) mask |= line_event::kRlsd;
      if (now.Ring && !LastSignals.Ring) mask |= line_event::kRing;
    }
    LastSignals = now;
    HaveStatus = true;
  }
  int out = 0;
  if (::ioctl(Fd, TIOCOUTQ, &out) == 0) {
    if (out == 0 && LastTxCount > 0) mask |= line_event::kTxEmpty;
    LastTxCount = out;
  }
  return mask & interest;
}

int PortDevice::Impl::WaitLocked(std::uint32_t interest, LineEvents& events) {
  events = {};
  if (Fd < 0) {
    events.Released = true;
    return 0;
  }
  const bool watchRx = (interest & line_event::kRxChar) != 0;
  const bool watchStatus = (interest & ~line_event::kRxChar) != 0;
  for (;;) {
    // Received bytes are announced once: while the count stays where it was
    // announced, the wait does not return for them again.
    int waiting = 0;
    const bool failed = Failed;
    const bool stalled =
        watchRx && !failed && InputCount(waiting) && waiting > 0 && waiting == LastReportedRx;
    pollfd fds[2] = {{failed ? -1 : Fd, 0, 0}, {Wake[0], POLLIN, 0}};
    if (watchRx && !stalled) fds[0].events = POLLIN;
    const int timeout = (watchStatus || stalled) ? kStatusPollMs : -1;
    const int r = ::poll(fds, 2, timeout);
    if (r < 0 && errno == EINTR) continue;
    if (r < 0) {
      Failed = true;
      return errno;
    }
    if (fds[1].revents != 0) {
      events.Released = true;
      return 0;
    }
    if ((fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
      // The device went away (an adapter pulled, the other end of a pty closed).
      Failed = true;
      return EIO;
    }
    if ((fds[0].revents & POLLIN) != 0 && InputCount(waiting) && waiting > 0) {
      LastReportedRx = waiting;
      events.Mask |= line_event::kRxChar;
    }
    if (watchStatus && !failed) events.Mask |= StatusChanges(interest);
    if (events.Mask != 0) return 0;
  }
}

PortDevice::PortDevice(ErrorSink sink) : impl_(std::make_unique<Impl>()) {
  impl_->Sink = std::move(sink);
  for (int* pipe : {impl_->Wake, impl_->Kick}) {
    if (::pipe(pipe) != 0) {
      impl_->Report(errno);
      continue;
    }
    for (int i = 0; i < 2; ++i) {
      ::fcntl(pipe[i], F_SETFL, ::fcntl(pipe[i], F_GETFL) | O_NONBLOCK);
      ::fcntl(pipe[i], F_SETFD, FD_CLOEXEC);
    }
  }
}

PortDevice::~PortDevice() {
  Release();
  Close();
  for (int* pipe : {impl_->Wake, impl_->Kick})
    for (int i = 0; i < 2; ++i)
      if (pipe[i] >= 0) ::close(pipe[i]);
}

bool PortDevice::Open(int port) {
  Impl& d = *impl_;
  const std::string name = DeviceName(port);
  int error = 0;
  {
    std::unique_lock life(d.Life);
    if (d.Fd >= 0) ::close(d.Fd);
    d.Fd = -1;
    d.DrainWake();
    d.Released = false;
    d.Failed = false;
    d.Lost = false;
    d.LostCode = 0;
    d.LastReportedRx = 0;
    d.HaveStatus = false;
    d.LastTxCount = 0;
    error = d.OpenLocked(name);
  }
  d.Report(error);
  return error == 0;
}

void PortDevice::SetupQueues(std::uint16_t /*rxSize*/, std::uint16_t /*txSize*/) {
  // The kernel sizes a tty's buffers itself.
}

void PortDevice::Apply(const LineSettings& settings) {
  Impl& d = *impl_;
  int errors[3] = {0, 0, 0};
  {
    std::shared_lock life(d.Life);
    if (d.Fd < 0) return;
    termios t{};
    if (::tcgetattr(d.Fd, &t) != 0) {
      errors[0] = errno;
    } else {
      errors[0] = ComposeTermios(settings, t);
      if (::tcsetattr(d.Fd, TCSANOW, &t) != 0) errors[1] = errno;
      if (!HasSpeedCode(settings.Baudrate) && SetCustomSpeed(d.Fd, settings.Baudrate) != 0)
        errors[2] = errno;
    }
  }
  for (int error : errors) d.Report(error);
}

void PortDevice::SetEventMask(std::uint32_t /*mask*/) {
  // WaitEvents is told what to look for on each call.
}

void PortDevice::Release() {
  Impl& d = *impl_;
  if (d.Released.exchange(true) || d.Wake[1] < 0) return;
  const char one = 1;
  if (::write(d.Wake[1], &one, 1) != 1) d.Report(errno);
}

void PortDevice::Close() {
  Impl& d = *impl_;
  int fd = -1;
  {
    std::unique_lock life(d.Life);
    fd = d.Fd;
    d.Fd = -1;
  }
  if (fd >= 0 && ::close(fd) != 0) d.Report(errno);
}

void PortDevice::Write(std::string_view bytes, std::int32_t timeLimitMs) {
  Impl& d = *impl_;
  int error = 0;
  {
    std::lock_guard writer(d.WriteLock);
    std::shared_lock life(d.Life);
    error = d.WriteLocked(bytes, timeLimitMs);
  }
  d.ReportIo(error);
}

int PortDevice::ReadByte(std::uint8_t& byte, std::int32_t waitMs) {
  Impl& d = *impl_;
  int delivered = 0;
  int error = 0;
  {
    std::lock_guard reader(d.ReadLock);
    std::shared_lock life(d.Life);
    error = d.ReadLocked(byte, waitMs, delivered);
  }
  d.ReportIo(error);
  return delivered;
}

bool PortDevice::Counts(std::int32_t& rx, std::int32_t& tx) {
  Impl& d = *impl_;
  rx = 0;
  tx = 0;
  int error = 0;
  {
    std::shared_lock life(d.Life);
    if (d.Fd < 0) return true;
    int in = 0;
    int out = 0;
    if (::ioctl(d.Fd, FIONREAD, &in) != 0 || ::ioctl(d.Fd, TIOCOUTQ, &out) != 0) {
      error = errno;
    } else {
      rx = in;
      tx = out;
    }
  }
  d.ReportIo(error);
  return error == 0;
}

bool PortDevice::Purge(bool /*reads*/, bool /*writes*/) {
  // Reads and writes finish within the call that started them, so nothing
  // is ever pending here; buffered bytes are never dropped.
  return true;
}

bool PortDevice::SetSignal(OutputSignal signal, bool on) {
  Impl& d = *impl_;
  int error = 0;
  {
    std::shared_lock life(d.Life);
    int bits = signal == OutputSignal::Rts ? TIOCM_RTS : TIOCM_DTR;
    if (d.Fd < 0)
      error = EBADF;
    else if (::ioctl(d.Fd, on ? TIOCMBIS : TIOCMBIC, &bits) != 0)
      error = errno;  // a pty has no modem lines
  }
  d.ReportIo(error);
  return error == 0;
}

bool PortDevice::ReadModemSignals(ModemSignals& signals) {
  Impl& d = *impl_;
  int error = 0;
  {
    std::shared_lock life(d.Life);
    int bits = 0;
    if (d.Fd < 0) {
      error = EBADF;
    } else if (::ioctl(d.Fd, TIOCMGET, &bits) != 0) {
      error = errno;
    } else {
      signals = {(bits & TIOCM_CTS) != 0, (bits & TIOCM_DSR) != 0, (bits & TIOCM_RNG) != 0,
                 (bits & TIOCM_CAR) != 0};
    }
  }
  d.ReportIo(error);
  return error == 0;
}

bool PortDevice::Lost() const { return impl_->Lost; }

std::int32_t PortDevice::LostCode() const { return impl_->LostCode; }

LineEvents PortDevice::WaitEvents(std::uint32_t interest) {
  Impl& d = *impl_;
  LineEvents events;
  int error = 0;
  {
    std::shared_lock life(d.Life);
    error = d.WaitLocked(interest, events);
  }
  d.ReportIo(error);
  return events;
}

void PortDevice::AwaitLine(bool watchRx, std::int32_t timeoutMs) {
  Impl& d = *impl_;
  std::shared_lock life(d.Life);
  // A released or hung-up device is not watched: its descriptors would
  // stay ready and the wait would spin.
  const bool released = d.Released;
  const bool watchFd = watchRx && d.Fd >= 0 && !released && !d.Failed;
  pollfd fds[3] = {{watchFd ? d.Fd : -1, POLLIN, 0}, {released ? -1 : d.Wake[0], POLLIN, 0}, {d.Kick[0], POLLIN, 0}};
  int r = 0;
  do {
    r = ::poll(fds, 3, timeoutMs < 0 ? -1 : timeoutMs);
  } while (r < 0 && errno == EINTR);
  if (r <= 0) return;
  if ((fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) d.Failed = true;  // the event wait reports it
  if (fds[2].revents != 0) {
    char sink[64];
    while (::read(d.Kick[0], sink, sizeof sink) > 0) {
    }
  }
}

void PortDevice::WakeLine() {
  const int fd = impl_->Kick[1];
  const char one = 1;
  // A full pipe already holds a wake.
  if (fd >= 0 && ::write(fd, &one, 1) < 0 && errno != EAGAIN) impl_->Report(errno);
}

}  // namespace qz
