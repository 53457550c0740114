// The serial device over the Win32 communications API with overlapped I/O.
//
// Reads, writes and the event wait each have their own overlapped record
// and private event, so that they never disturb one another; a manual-reset
// release event ends every wait when the port closes. Failures are handed to
// the error sink only after the device's locks are released.

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <atomic>
#include <mutex>
#include <shared_mutex>

#include "serial/port_device.h"

namespace qz {

namespace {

constexpr DWORD kWriteTimeoutWithFlowMs = 10000;

// The parity codes of the DCB in the order of eParity.
constexpr BYTE kParityCodes[] = {NOPARITY, ODDPARITY, EVENPARITY, MARKPARITY, SPACEPARITY};

// ERROR_NO_SUCH_DEVICE, missing from some SDK headers.
constexpr DWORD kErrorNoSuchDevice = 433;

// Errors that ReadFile, WriteFile, WaitCommEvent and the comm calls give once
// the device behind an open handle is gone (a USB adapter pulled).
bool MeansDeviceGone(DWORD code) {
  switch (code) {
    case ERROR_ACCESS_DENIED:
    case ERROR_INVALID_HANDLE:
    case ERROR_BAD_COMMAND:
    case ERROR_GEN_FAILURE:
    case kErrorNoSuchDevice:
    case ERROR_DEVICE_NOT_CONNECTED:
    case ERROR_DEVICE_REMOVED:
      return true;
    default:
      return false;
  }
}

// Errors that mean the device is gone only when the port no longer answers a
// status query either: a purge aborts operations too, and "not ready" is
// also what an I/O error of the device underneath becomes in some
// implementations of the API (Wine gives it once a serial device has
// vanished), as well as a passing state of a device that is still there.
bool GoneIfUnanswered(DWORD code) { return code == ERROR_OPERATION_ABORTED || code == ERROR_NOT_READY; }

class Overlapped {
 public:
  Overlapped() { ov_.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr); }
  ~Overlapped() {
    if (ov_.hEvent) CloseHandle(ov_.hEvent);
  }
  Overlapped(const Overlapped&) = delete;
  Overlapped& operator=(const Overlapped&) = delete;

  OVERLAPPED* get() { return &ov_; }
  HANDLE event() const { return ov_.hEvent; }
  void Reset() {
    ov_.Offset = 0;
    ov_.OffsetHigh = 0;
    ResetEvent(ov_.hEvent);
  }

 private:
  OVERLAPPED ov_{};
};

}  // namespace

std::string DeviceName(int port) { return "\\\\.\\COM" + std::to_string(port); }

struct PortDevice::Impl {
  ErrorSink Sink;
  std::shared_mutex Life;  // held exclusively while the handle changes
  std::mutex ReadLock;
  std::mutex WriteLock;
  HANDLE Port = INVALID_HANDLE_VALUE;
  HANDLE ReleaseEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  // Auto-reset: set by the event thread on a received character or a
  // drained output, and by WakeLine; ends the engine's line wait.
  HANDLE LineEvent = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  Overlapped ReadOv;
  Overlapped WriteOv;
  Overlapped WaitOv;
  DCB Dcb{};
  COMMTIMEOUTS Timeouts{};
  std::atomic<bool> Failed{false};  // the event wait failed; not watched until reopened
  std::atomic<bool> Lost{false};
  std::atomic<DWORD> LostCode{0};

  bool IsOpen() const { return Port != INVALID_HANDLE_VALUE; }

  void Report(DWORD code) const {
    if (code != 0 && Sink) Sink(static_cast<std::int32_t>(code));
  }

  // Notes whether a failure of an operation on the open handle means the
  // device is gone; call with Life held. Some failures mean removal only
  // when the port no longer answers a status query (GoneIfUnanswered).
  void NoteFailure(DWORD code) {
    if (code == 0 || Lost) return;
    if (GoneIfUnanswered(code)) {
      DWORD errors = 0;
      COMSTAT status{};
      if (!IsOpen() || ClearCommError(Port, &errors, &status)) return;
      code = GetLastError();  // the query's reason tells more than the abort
      if (!MeansDeviceGone(code) && code != ERROR_NOT_READY) return;
    } else if (!MeansDeviceGone(code)) {
      return;
    }
    LostCode = code;
    Lost = true;
  }

  // Waits for an overlapped operation, the release event or the time limit.
  // Returns WAIT_OBJECT_0 when the operation completed.
  DWORD WaitFor(Overlapped& ov, DWORD timeoutMs) const {
    const HANDLE handles[2] = {ov.event(), ReleaseEvent};
    return WaitForMultipleObjects(2, handles, FALSE, timeoutMs);
  }

  // Cancels an operation of this thread and waits until it has ended.
  DWORD Abandon(Overlapped& ov) const {
    CancelIo(Port);
    DWORD transferred = 0;
    GetOverlappedResult(Port, ov.get(), &transferred, TRUE);
    return transferred;
  }

  DWORD WriteLocked(std::string_view bytes, DWORD timeLimitMs);
  DWORD ReadLocked(std::uint8_t& byte, DWORD waitMs, int& delivered);
  DWORD WaitLocked(LineEvents& events);
  void ComposeDcb(const LineSettings& settings);
};

void PortDevice::Impl::ComposeDcb(const LineSettings& s) {
  Dcb = DCB{};
  Dcb.DCBlength = sizeof(DCB);
  Dcb.BaudRate = static_cast<DWORD>(s.Baudrate);
  Dcb.fBinary = TRUE;
  Dcb.fParity = s.CheckParity ? TRUE : FALSE;
  Dcb.fRtsControl = RTS_CONTROL_DISABLE;
  Dcb.fDtrControl = DTR_CONTROL_DISABLE;
  switch (s.FlowMode) {
    case eFlowControl::fcNone: break;
    case eFlowControl::fcRTS_CTS:
      Dcb.fRtsControl = RTS_CONTROL_HANDSHAKE;
      Dcb.fOutxCtsFlow = TRUE;
      break;
    case eFlowControl::fcDTR_DSR:
      Dcb.fDtrControl = DTR_CONTROL_HANDSHAKE;
      Dcb.fOutxDsrFlow = TRUE;
      break;
    case eFlowControl::fcXON_XOF:
      Dcb.fOutX = TRUE;
      Dcb.fInX = TRUE;
      break;
  }
  Dcb.XonLim = static_cast<WORD>(s.RxQueueSize / 3);
  Dcb.XoffLim = static_cast<WORD>(s.RxQueueSize / 3);
  Dcb.ByteSize = s.DataBits == eDataBits::d8bit ? 8 : 7;
  Dcb.Parity = kParityCodes[static_cast<std::size_t>(s.Parity)];
  Dcb.StopBits = s.StopBits == eStopBits::st1bit ? ONESTOPBIT : TWOSTOPBITS;
  Dcb.XonChar = 17;
  Dcb.XoffChar = 19;
  Dcb.ErrorChar = '?';
  Dcb.EofChar = 0;
  Dcb.EvtChar = 0;
}

DWORD PortDevice::Impl::WriteLocked(std::string_view bytes, DWORD timeLimitMs) {
  if (!IsOpen()) return ERROR_INVALID_HANDLE;
  WriteOv.Reset();
  DWORD written = 0;
  if (WriteFile(Port, bytes.data(), static_cast<DWORD>(bytes.size()), &written, WriteOv.get())) return 0;
  const DWORD error = GetLastError();
  if (error != ERROR_IO_PENDING) return error;
  const DWORD wait = WaitFor(WriteOv, timeLimitMs);
  if (wait == WAIT_OBJECT_0) {
    const BOOL ok = GetOverlappedResult(Port, WriteOv.get(), &written, FALSE);
    const DWORD result = ok ? 0 : GetLastError();
    WriteOv.Reset();
    return result;
  }
  // Not done in time, or the port is closing: the write must end before its
  // record is used again.
  Abandon(WriteOv);
  WriteOv.Reset();
  if (wait == WAIT_OBJECT_0 + 1) return 0;
  return wait == WAIT_TIMEOUT ? ERROR_TIMEOUT : GetLastError();
}

DWORD PortDevice::Impl::ReadLocked(std::uint8_t& byte, DWORD waitMs, int& delivered) {
  delivered = 0;
  if (!IsOpen()) return ERROR_INVALID_HANDLE;
  ReadOv.Reset();
  DWORD read = 0;
  if (ReadFile(Port, &byte, 1, &read, ReadOv.get())) {
    ReadOv.Reset();
    delivered = read == 1 ? 1 : 0;
    return 0;
  }
  DWORD error = GetLastError();
  if (error != ERROR_IO_PENDING) return error;
  const DWORD wait = WaitFor(ReadOv, waitMs);
  if (wait == WAIT_OBJECT_0) {
    error = GetOverlappedResult(Port, ReadOv.get(), &read, FALSE) ? 0 : GetLastError();
  } else {
    // A read that times out is cancelled, but a byte it took is not lost.
    read = Abandon(ReadOv);
    error = (wait == WAIT_TIMEOUT || wait == WAIT_OBJECT_0 + 1) ? 0 : GetLastError();
  }
  ReadOv.Reset();
  delivered = read == 1 ? 1 : 0;
  return error;
}

DWORD PortDevice::Impl::WaitLocked(LineEvents& events) {
  events = {};
  if (!IsOpen() || Failed) {
    // Nothing to watch: wait for the close.
    WaitForSingleObject(ReleaseEvent, INFINITE);
    events.Released = true;
    return 0;
  }
  WaitOv.Reset();
  DWORD mask = 0;
  if (WaitCommEvent(Port, &mask, WaitOv.get())) {
    events.Mask = mask;
    return 0;
  }
  DWORD error = GetLastError();
  if (error != ERROR_IO_PENDING) {
    Failed = true;
    return error;
  }
  const DWORD wait = WaitFor(WaitOv, INFINITE);
  if (wait == WAIT_OBJECT_0) {
    DWORD unused = 0;
    if (!GetOverlappedResult(Port, WaitOv.get(), &unused, FALSE)) {
      Failed = true;
      return GetLastError();
    }
    events.Mask = mask;
    return 0;
  }
  Abandon(WaitOv);
  events.Released = true;
  return wait == WAIT_OBJECT_0 + 1 ? 0 : GetLastError();
}

PortDevice::PortDevice(ErrorSink sink) : impl_(std::make_unique<Impl>()) { impl_->Sink = std::move(sink); }

PortDevice::~PortDevice() {
  Release();
  Close();
  if (impl_->ReleaseEvent) CloseHandle(impl_->ReleaseEvent);
  if (impl_->LineEvent) CloseHandle(impl_->LineEvent);
}

bool PortDevice::Open(int port) {
  Impl& d = *impl_;
  const std::string name = DeviceName(port);
  DWORD error = 0;
  {
    std::unique_lock life(d.Life);
    if (d.IsOpen()) CloseHandle(d.Port);
    ResetEvent(d.ReleaseEvent);
    d.Failed = false;
    d.Lost = false;
    d.LostCode = 0;
    d.Port = CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                         FILE_FLAG_OVERLAPPED, nullptr);
    if (!d.IsOpen()) error = GetLastError();
  }
  d.Report(error);
  return error == 0;
}

void PortDevice::SetupQueues(std::uint16_t rxSize, std::uint16_t txSize) {
  Impl& d = *impl_;
  DWORD error = 0;
  {
    std::shared_lock life(d.Life);
    if (!d.IsOpen() || !SetupComm(d.Port, rxSize, txSize)) error = GetLastError();
  }
  d.Report(error);
}

void PortDevice::Apply(const LineSettings& settings) {
  Impl& d = *impl_;
  DWORD errors[2] = {0, 0};
  {
    std::shared_lock life(d.Life);
    if (!d.IsOpen()) return;
    d.ComposeDcb(settings);
    if (!SetCommState(d.Port, &d.Dcb)) errors[0] = GetLastError();
    d.Timeouts.ReadIntervalTimeout = MAXDWORD;
    d.Timeouts.ReadTotalTimeoutMultiplier = 0;
    d.Timeouts.ReadTotalTimeoutConstant = 0;
    if (settings.FlowMode != eFlowControl::fcNone) {
      d.Timeouts.WriteTotalTimeoutMultiplier = 0;
      d.Timeouts.WriteTotalTimeoutConstant = kWriteTimeoutWithFlowMs;
    }
    if (!SetCommTimeouts(d.Port, &d.Timeouts)) errors[1] = GetLastError();
  }
  for (DWORD error : errors) d.Report(error);
}

void PortDevice::SetEventMask(std::uint32_t mask) {
  Impl& d = *impl_;
  DWORD error = 0;
  {
    std::shared_lock life(d.Life);
    if (!d.IsOpen() || !SetCommMask(d.Port, mask)) error = GetLastError();
  }
  d.Report(error);
}

void PortDevice::Release() {
  Impl& d = *impl_;
  DWORD error = 0;
  {
    std::shared_lock life(d.Life);
    // An empty mask ends a pending event wait; the release event every other.
    if (d.IsOpen() && !SetCommMask(d.Port, 0)) error = GetLastError();
    SetEvent(d.ReleaseEvent);
  }
  d.Report(error);
}

void PortDevice::Close() {
  Impl& d = *impl_;
  DWORD error = 0;
  {
    std::unique_lock life(d.Life);
    if (d.IsOpen() && !CloseHandle(d.Port)) error = GetLastError();
    d.Port = INVALID_HANDLE_VALUE;
  }
  d.Report(error);
}

void PortDevice::Write(std::string_view bytes, std::int32_t timeLimitMs) {
  Impl& d = *impl_;
  DWORD error = 0;
  {
    std::lock_guard writer(d.WriteLock);
    std::shared_lock life(d.Life);
    error = d.WriteLocked(bytes, static_cast<DWORD>(timeLimitMs));
    d.NoteFailure(error);
  }
  d.Report(error);
}

int PortDevice::ReadByte(std::uint8_t& byte, std::int32_t waitMs) {
  Impl& d = *impl_;
  int delivered = 0;
  DWORD error = 0;
  {
    std::lock_guard reader(d.ReadLock);
    std::shared_lock life(d.Life);
    error = d.ReadLocked(byte, static_cast<DWORD>(waitMs), delivered);
    d.NoteFailure(error);
  }
  d.Report(error);
  return delivered;
}

bool PortDevice::Counts(std::int32_t& rx, std::int32_t& tx) {
  Impl& d = *impl_;
  rx = 0;
  tx = 0;
  DWORD error = 0;
  {
    std::shared_lock life(d.Life);
    if (!d.IsOpen()) return true;
    DWORD errors = 0;
    COMSTAT status{};
    if (ClearCommError(d.Port, &errors, &status)) {
      rx = static_cast<std::int32_t>(status.cbInQue);
      tx = static_cast<std::int32_t>(status.cbOutQue);
    } else {
      error = GetLastError();
      d.NoteFailure(error);
    }
  }
  d.Report(error);
  return error == 0;
}

bool PortDevice::Purge(bool reads, bool writes) {
  // Only operations in flight are aborted, through their own records, and no
  // buffer is touched: PurgeComm is not used, because some implementations of
  // the abort flags also flush the buffers and would throw away the start of
  // an answer that arrives right after a transmission. A record with nothing
  // in flight has nothing to cancel, which is not a failure.
  Impl& d = *impl_;
  DWORD error = 0;
  {
    std::shared_lock life(d.Life);
    if (!d.IsOpen()) {
      error = ERROR_INVALID_HANDLE;
    } else {
      Overlapped* const records[] = {writes ? &d.WriteOv : nullptr, reads ? &d.ReadOv : nullptr};
      for (Overlapped* ov : records) {
        if (!ov || CancelIoEx(d.Port, ov->get())) continue;
        const DWORD code = GetLastError();
        if (code != ERROR_NOT_FOUND && error == 0) error = code;
      }
    }
  }
  d.Report(error);
  return error == 0;
}

bool PortDevice::SetSignal(OutputSignal signal, bool on) {
  Impl& d = *impl_;
  DWORD function = 0;
  if (signal == OutputSignal::Rts) function = on ? SETRTS : CLRRTS;
  else function = on ? SETDTR : CLRDTR;
  DWORD error = 0;
  {
    std::shared_lock life(d.Life);
    if (!d.IsOpen() || !EscapeCommFunction(d.Port, function)) error = GetLastError();
    if (d.IsOpen()) d.NoteFailure(error);
  }
  d.Report(error);
  return error == 0;
}

bool PortDevice::ReadModemSignals(ModemSignals& signals) {
  Impl& d = *impl_;
  DWORD error = 0;
  {
    std::shared_lock life(d.Life);
    DWORD status = 0;
    if (!d.IsOpen() || !GetCommModemStatus(d.Port, &status)) {
      error = GetLastError();
      if (d.IsOpen()) d.NoteFailure(error);
    } else {
      signals = {(status & MS_CTS_ON) != 0, (status & MS_DSR_ON) != 0, (status & MS_RING_ON) != 0,
                 (status & MS_RLSD_ON) != 0};
    }
  }
  d.Report(error);
  return error == 0;
}

bool PortDevice::Lost() const { return impl_->Lost; }

std::int32_t PortDevice::LostCode() const { return static_cast<std::int32_t>(impl_->LostCode.load()); }

LineEvents PortDevice::WaitEvents(std::uint32_t /*interest*/) {
  Impl& d = *impl_;
  LineEvents events;
  DWORD error = 0;
  {
    std::shared_lock life(d.Life);
    error = d.WaitLocked(events);
    if (!events.Released) d.NoteFailure(error);
  }
  if ((events.Mask & (line_event::kRxChar | line_event::kTxEmpty)) != 0) SetEvent(d.LineEvent);
  d.Report(error);
  return events;
}

// The event thread watches the line (the port listens for every event from
// its opening on), so this wait needs only the line event.
void PortDevice::AwaitLine(bool /*watchRx*/, std::int32_t timeoutMs) {
  WaitForSingleObject(impl_->LineEvent, timeoutMs < 0 ? INFINITE : static_cast<DWORD>(timeoutMs));
}

void PortDevice::WakeLine() { SetEvent(impl_->LineEvent); }

}  // namespace qz
