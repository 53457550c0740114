#include "serial/serial_port.h"

#include <algorithm>
#include <chrono>
#include <cmath>

#include "serial/event_thread.h"

namespace qz {

namespace {

constexpr std::int32_t kAcceptedBaudrates[] = {110,   300,   600,   1200,  2400,   4800,   9600,  14400,
                                               19200, 38400, 56000, 57600, 115200, 128000, 256000};

constexpr std::int32_t kReadWaitMs = 100;
constexpr std::int32_t kMinWriteTimeMs = 500;
// A close gives up waiting for the event thread after this long; only an
// event handler that does not return can hold it that long.
constexpr auto kListeningTimeout = std::chrono::milliseconds(7500);

}  // namespace

bool TSerial::IsAcceptedBaudrate(std::int32_t baudrate) {
  return std::find(std::begin(kAcceptedBaudrates), std::end(kAcceptedBaudrates), baudrate) !=
         std::end(kAcceptedBaudrates);
}

std::int32_t TSerial::WriteTimeLimitMs(std::size_t length, std::int32_t baudrate) {
  const std::int64_t perByte = baudrate > 0 ? 20000 / baudrate : 0;
  const std::int64_t limit = static_cast<std::int64_t>(length) * perByte;
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(limit, kMinWriteTimeMs, INT32_MAX));
}

TSerial::TSerial()
    : device_([this](std::int32_t code) { HandleError(code); }),
      eventThread_(std::make_unique<TEventThread>(*this)) {}

TSerial::~TSerial() {
  SetActive(false);
  eventThread_.reset();  // ends and joins the thread before the device goes
}

// --- Settings ---------------------------------------------------------------

template <class T>
void TSerial::ChangeSetting(T LineSettings::*field, T value) {
  {
    std::lock_guard guard(mu_);
    if (settings_.*field == value) return;
    settings_.*field = value;
  }
  Reopen();
}

int TSerial::Port() const {
  std::lock_guard guard(mu_);
  return port_;
}

void TSerial::SetPort(int port) {
  {
    std::lock_guard guard(mu_);
    if (port < 0 || port > 255 || port == port_) return;
    port_ = port;
  }
  Reopen();
}

std::int32_t TSerial::Baudrate() const {
  std::lock_guard guard(mu_);
  return settings_.Baudrate;
}

void TSerial::SetBaudrate(std::int32_t baudrate) {
  if (IsAcceptedBaudrate(baudrate)) ChangeSetting(&LineSettings::Baudrate, baudrate);
}

eParity TSerial::Parity() const {
  std::lock_guard guard(mu_);
  return settings_.Parity;
}
void TSerial::SetParity(eParity parity) { ChangeSetting(&LineSettings::Parity, parity); }

eDataBits TSerial::DataBits() const {
  std::lock_guard guard(mu_);
  return settings_.DataBits;
}
void TSerial::SetDataBits(eDataBits bits) { ChangeSetting(&LineSettings::DataBits, bits); }

eStopBits TSerial::StopBits() const {
  std::lock_guard guard(mu_);
  return settings_.StopBits;
}
void TSerial::SetStopBits(eStopBits bits) { ChangeSetting(&LineSettings::StopBits, bits); }

eFlowControl TSerial::FlowMode() const {
  std::lock_guard guard(mu_);
  return settings_.FlowMode;
}
void TSerial::SetFlowMode(eFlowControl mode) { ChangeSetting(&LineSettings::FlowMode, mode); }

bool TSerial::CheckParity() const {
  std::lock_guard guard(mu_);
  return settings_.CheckParity;
}
void TSerial::SetCheckParity(bool check) { ChangeSetting(&LineSettings::CheckParity, check); }

std::uint16_t TSerial::RxQueueSize() const {
  std::lock_guard guard(mu_);
  return settings_.RxQueueSize;
}

void TSerial::SetRxQueueSize(std::uint16_t size) {
  {
    std::lock_guard guard(mu_);
    settings_.RxQueueSize = size;
  }
  Reopen();
}

std::uint16_t TSerial::TxQueueSize() const {
  std::lock_guard guard(mu_);
  return settings_.TxQueueSize;
}

void TSerial::SetTxQueueSize(std::uint16_t size) {
  {
    std::lock_guard guard(mu_);
    settings_.TxQueueSize = size;
  }
  Reopen();
}

eOpModes TSerial::RxEventMode() const {
  std::lock_guard guard(mu_);
  return rxEventMode_;
}
void TSerial::SetRxEventMode(eOpModes mode) {
  std::lock_guard guard(mu_);
  rxEventMode_ = mode;
}

char TSerial::MessageStartChar() const {
  std::lock_guard guard(mu_);
  return framing_.Start;
}
void TSerial::SetMessageStartChar(char c) {
  std::lock_guard guard(mu_);
  framing_.Start = c;
}

char TSerial::MessageEndChar() const {
  std::lock_guard guard(mu_);
  return framing_.End;
}
void TSerial::SetMessageEndChar(char c) {
  std::lock_guard guard(mu_);
  framing_.End = c;
}

std::uint16_t TSerial::MessageAppendCount() const {
  std::lock_guard guard(mu_);
  return framing_.AppendCount;
}
void TSerial::SetMessageAppendCount(std::uint16_t count) {
  std::lock_guard guard(mu_);
  framing_.AppendCount = count;
}

eNotifyErr TSerial::NotifyErrors() const {
  std::lock_guard guard(mu_);
  return notifyErrors_;
}
void TSerial::SetNotifyErrors(eNotifyErr mode) {
  std::lock_guard guard(mu_);
  notifyErrors_ = mode;
}

void TSerial::SetOnRxData(NotifyEvent handler) {
  std::lock_guard guard(mu_);
  handlers_.OnRxData = std::move(handler);
}
void TSerial::SetOnTxEmpty(NotifyEvent handler) {
  std::lock_guard guard(mu_);
  handlers_.OnTxEmpty = std::move(handler);
}
void TSerial::SetOnMessage(RxMessageEvent handler) {
  std::lock_guard guard(mu_);
  handlers_.OnMessage = std::move(handler);
}
void TSerial::SetOnError(NotifyEvent handler) {
  std::lock_guard guard(mu_);
  handlers_.OnError = std::move(handler);
}
void TSerial::SetOnBreak(NotifyEvent handler) {
  std::lock_guard guard(mu_);
  handlers_.OnBreak = std::move(handler);
}
void TSerial::SetOnRing(NotifyEvent handler) {
  std::lock_guard guard(mu_);
  handlers_.OnRing = std::move(handler);
}
void TSerial::SetOnSignalChange(SignalChangeEvent handler) {
  std::lock_guard guard(mu_);
  handlers_.OnSignalChange = std::move(handler);
}

// --- Open and close ---------------------------------------------------------

void TSerial::SetActive(bool active) {
  std::lock_guard guard(activeLock_);
  if (active_) Close();
  if (active) Open();
}

void TSerial::Open() {
  LineSettings settings;
  int port = 0;
  {
    std::lock_guard guard(mu_);
    settings = settings_;
    port = port_;
  }
  if (!device_.Open(port)) return;
  device_.SetupQueues(settings.RxQueueSize, settings.TxQueueSize);
  {
    std::lock_guard state(stateMu_);
    active_ = true;
  }
  device_.Apply(settings);
  SetSignal(1, true);
  SetSignal(0, true);
  device_.SetEventMask(line_event::kAll);
  stateCv_.notify_all();
  eventThread_->Resume();
}

void TSerial::Close() {
  device_.Purge(true, true);
  SetSignal(1, false);
  SetSignal(0, false);
  {
    std::lock_guard state(stateMu_);
    active_ = false;
    closing_ = true;
  }
  device_.Release();
  {
    std::unique_lock state(stateMu_);
    // A handler that closes its own port must not wait for itself.
    if (!eventThread_->IsCurrent()) stateCv_.wait_for(state, kListeningTimeout, [this] { return !listening_; });
    closing_ = false;
  }
  device_.Close();
}

// --- Line operations --------------------------------------------------------

void TSerial::WriteText(std::string_view bytes) {
  device_.Write(bytes, WriteTimeLimitMs(bytes.size(), Baudrate()));
}

int TSerial::ReadChar(std::uint8_t& byte) { return device_.ReadByte(byte, kReadWaitMs); }

std::int32_t TSerial::RxWaiting() {
  if (!active_) return 0;
  std::int32_t rx = 0;
  std::int32_t tx = 0;
  device_.Counts(rx, tx);  // a failed query counts as nothing waiting
  return rx;
}

std::int32_t TSerial::TxWaiting() {
  if (!active_) return 0;
  std::int32_t rx = 0;
  std::int32_t tx = 0;
  device_.Counts(rx, tx);
  return tx;
}

// Bytes still to come and bytes still to leave are not announced on every
// platform: the wait ends when they can have crossed the line, so that a
// partly received frame or a draining output costs no busy wait.
void TSerial::AwaitLine(const LineWait& wait) {
  std::int32_t rx = 0;
  std::int32_t tx = 0;
  if (active_) device_.Counts(rx, tx);
  if (wait.RxBytes > 0 && rx >= wait.RxBytes) return;
  if (wait.Drain && tx == 0) return;
  std::int64_t timeout = wait.TimeoutMs;
  const auto cap = [&](std::int32_t characters) {
    const auto ms = std::max<std::int64_t>(1, static_cast<std::int64_t>(std::ceil(characters * CharacterMs())));
    if (timeout < 0 || ms < timeout) timeout = ms;
  };
  if (wait.RxBytes > 0 && rx > 0) cap(wait.RxBytes - rx);
  if (wait.Drain) cap(tx);
  device_.AwaitLine(wait.RxBytes > 0 && rx == 0, static_cast<std::int32_t>(std::min<std::int64_t>(timeout, INT32_MAX)));
}

void TSerial::WakeLine() { device_.WakeLine(); }

double TSerial::CharacterMs() const {
  std::lock_guard guard(mu_);
  const LineSettings& s = settings_;
  const int data = s.DataBits == eDataBits::d7bit ? 7 : 8;
  const int parity = s.Parity == eParity::paNone ? 0 : 1;
  const int stop = s.StopBits == eStopBits::st1bit ? 1 : 2;
  const double rate = s.Baudrate > 0 ? s.Baudrate : 9600;
  return (1 + data + parity + stop) * 1000.0 / rate;
}

void TSerial::PurgeRx() { device_.Purge(true, false); }

void TSerial::PurgeTx() { device_.Purge(false, true); }

bool TSerial::SetSignal(int signal, bool state) {
  switch (signal) {
    case 0: return device_.SetSignal(OutputSignal::Rts, state);
    case 1: return device_.SetSignal(OutputSignal::Dtr, state);
    default: return false;
  }
}

// --- Errors and events ------------------------------------------------------

void TSerial::HandleError(std::int32_t code) {
  errorCode_ = code;
  if (NotifyErrors() == eNotifyErr::neEvent) Raise(&Handlers::OnError);
}

void TSerial::Raise(NotifyEvent Handlers::*event) {
  NotifyEvent handler;
  {
    std::lock_guard guard(mu_);
    handler = handlers_.*event;
  }
  if (handler) handler(*this);
}

bool TSerial::WaitUntilActive() {
  std::unique_lock state(stateMu_);
  listening_ = false;
  stateCv_.notify_all();
  stateCv_.wait(state, [this] { return terminate_ || active_; });
  if (terminate_) return false;
  listening_ = true;
  return true;
}

void TSerial::EndEventThread() {
  {
    std::lock_guard state(stateMu_);
    terminate_ = true;
  }
  stateCv_.notify_all();
}

std::uint32_t TSerial::Interest() const {
  std::lock_guard guard(mu_);
  std::uint32_t interest = 0;
  const bool wantsRx = rxEventMode_ == eOpModes::rxNormal ? static_cast<bool>(handlers_.OnRxData)
                                                          : static_cast<bool>(handlers_.OnMessage);
  if (wantsRx) interest |= line_event::kRxChar;
  if (handlers_.OnTxEmpty) interest |= line_event::kTxEmpty;
  if (handlers_.OnSignalChange) interest |= line_event::kCts | line_event::kDsr | line_event::kRlsd;
  if (handlers_.OnBreak) interest |= line_event::kBreak;
  if (handlers_.OnRing) interest |= line_event::kRing;
  return interest;
}

void TSerial::ServeEvents() {
  const LineEvents events = device_.WaitEvents(Interest());
  {
    std::lock_guard state(stateMu_);
    if (closing_ || !active_ || events.Released) return;
  }
  DispatchEvents(events.Mask);
}

void TSerial::DispatchEvents(std::uint32_t mask) {
  ReadSignalChanges(mask);
  if (mask & line_event::kTxEmpty) Raise(&Handlers::OnTxEmpty);
  if (mask & line_event::kBreak) Raise(&Handlers::OnBreak);
  if (mask & line_event::kRing) Raise(&Handlers::OnRing);
  if (mask & line_event::kRxChar) {
    if (RxEventMode() == eOpModes::rxNormal)
      Raise(&Handlers::OnRxData);
    else
      AssembleMessages();
  }
}

void TSerial::ReadSignalChanges(std::uint32_t mask) {
  constexpr std::uint32_t kSignals = line_event::kCts | line_event::kDsr | line_event::kRlsd;
  if ((mask & kSignals) == 0) return;
  ModemSignals now;
  if (!device_.ReadModemSignals(now)) return;
  SignalChangeEvent handler;
  {
    std::lock_guard guard(mu_);
    handler = handlers_.OnSignalChange;
  }
  signals_ = now;
  if (!handler) return;
  if (mask & line_event::kCts) handler(*this, eModemInSignal::sgCTS, now.Cts);
  if (mask & line_event::kDsr) handler(*this, eModemInSignal::sgDSR, now.Dsr);
  if (mask & line_event::kRlsd) handler(*this, eModemInSignal::sgRLSD, now.Rlsd);
}

void TSerial::AssembleMessages() {
  RxMessageEvent handler;
  MessageAssembler::Framing framing;
  {
    std::lock_guard guard(mu_);
    handler = handlers_.OnMessage;
    framing = framing_;
  }
  if (!handler) return;
  std::uint8_t byte = 0;
  while (active_ && ReadChar(byte) == 1) {
    if (auto message = assembler_.Feed(static_cast<char>(byte), framing)) handler(*this, *message);
  }
}

}  // namespace qz
