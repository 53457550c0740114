#pragma once
// TSerial: one serial port with its line settings, bounded reads and writes,
// the RTS and DTR lines and an event thread that watches the line.
//
// A setting that changes while the port is open closes and reopens it with
// the new value; on a closed port settings are only stored. Failures never
// throw: each sets ErrorCode and, with neEvent, raises OnError.
//
// Threads: the owner opens, closes and configures the port; the engine's
// thread reads, writes and purges it at the same time; closing releases
// every wait of the other threads at once. Event handlers run on the event
// thread; assign them while the port is closed.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

#include "serial/message_assembler.h"
#include "serial/port_device.h"
#include "serial/port_recovery.h"
#include "serial/serial_line.h"
#include "serial/serial_types.h"

namespace qz {

class TEventThread;

class TSerial final : public SerialLine, public RecoverablePort {
 public:
  using NotifyEvent = std::function<void(TSerial& sender)>;
  using RxMessageEvent = std::function<void(TSerial& sender, const std::string& message)>;
  using SignalChangeEvent = std::function<void(TSerial& sender, eModemInSignal signal, bool state)>;

  // The rates the port accepts; any other rate is ignored.
  static bool IsAcceptedBaudrate(std::int32_t baudrate);

  TSerial();
  ~TSerial() override;
  TSerial(const TSerial&) = delete;
  TSerial& operator=(const TSerial&) = delete;

  // Line settings.
  int Port() const override;
  void SetPort(int port);
  std::int32_t Baudrate() const;
  void SetBaudrate(std::int32_t baudrate);
  eParity Parity() const;
  void SetParity(eParity parity);
  eDataBits DataBits() const;
  void SetDataBits(eDataBits bits);
  eStopBits StopBits() const;
  void SetStopBits(eStopBits bits);
  eFlowControl FlowMode() const;
  void SetFlowMode(eFlowControl mode);
  bool CheckParity() const;
  void SetCheckParity(bool check);
  // Stored and applied by reopening an open port even when unchanged.
  std::uint16_t RxQueueSize() const;
  void SetRxQueueSize(std::uint16_t size);
  std::uint16_t TxQueueSize() const;
  void SetTxQueueSize(std::uint16_t size);

  // Plain settings.
  eOpModes RxEventMode() const;
  void SetRxEventMode(eOpModes mode);
  char MessageStartChar() const;
  void SetMessageStartChar(char c);
  char MessageEndChar() const;
  void SetMessageEndChar(char c);
  std::uint16_t MessageAppendCount() const;
  void SetMessageAppendCount(std::uint16_t count);
  eNotifyErr NotifyErrors() const;
  void SetNotifyErrors(eNotifyErr mode);

  // The platform's code of the last failure.
  std::int32_t ErrorCode() const override { return errorCode_; }

  bool Active() const override { return active_; }
  // Closes the port if open; then opens it when asked to. A port that cannot
  // be opened stays closed with ErrorCode set.
  void SetActive(bool active) override;

  // The device went away under the open port (an adapter pulled): it stays
  // open, and every operation fails, until it is closed or reopened.
  bool DeviceLost() const override { return active_ && device_.Lost(); }
  std::int32_t LostErrorCode() const override { return device_.LostCode(); }

  void WriteText(std::string_view bytes) override;
  int ReadChar(std::uint8_t& byte) override;
  std::int32_t RxWaiting() override;
  std::int32_t TxWaiting() override;
  void PurgeRx() override;
  void PurgeTx() override;
  bool SetSignal(int signal, bool state) override;
  void AwaitLine(const LineWait& wait) override;
  void WakeLine() override;

  // The time one character takes on the line at the current settings, ms.
  double CharacterMs() const;

  // The write time limit for a text of length bytes: 20000 div rate ms a
  // byte, at least 500 ms.
  static std::int32_t WriteTimeLimitMs(std::size_t length, std::int32_t baudrate);

  void SetOnRxData(NotifyEvent handler);
  void SetOnTxEmpty(NotifyEvent handler);
  void SetOnMessage(RxMessageEvent handler);
  void SetOnError(NotifyEvent handler);
  void SetOnBreak(NotifyEvent handler);
  void SetOnRing(NotifyEvent handler);
  void SetOnSignalChange(SignalChangeEvent handler);

 private:
  friend class TEventThread;

  struct Handlers {
    NotifyEvent OnRxData;
    NotifyEvent OnTxEmpty;
    RxMessageEvent OnMessage;
    NotifyEvent OnError;
    NotifyEvent OnBreak;
    NotifyEvent OnRing;
    SignalChangeEvent OnSignalChange;
  };

  template <class T>
  void ChangeSetting(T LineSettings::*field, T value);
  void Reopen() { SetActive(Active()); }
  void Open();
  void Close();
  void HandleError(std::int32_t code);
  void Raise(NotifyEvent Handlers::*event);

  // Event thread side.
  bool WaitUntilActive();  // false when the thread is to end
  void ServeEvents();
  std::uint32_t Interest() const;
  void DispatchEvents(std::uint32_t mask);
  void ReadSignalChanges(std::uint32_t mask);
  void AssembleMessages();
  void EndEventThread();

  mutable std::mutex mu_;  // settings, plain settings and handlers
  LineSettings settings_;
  int port_ = 1;
  eOpModes rxEventMode_ = eOpModes::rxNormal;
  MessageAssembler::Framing framing_;
  eNotifyErr notifyErrors_ = eNotifyErr::neDialog;
  Handlers handlers_;

  std::atomic<std::int32_t> errorCode_{0};
  std::atomic<bool> active_{false};

  // Open/close hand-shake with the event thread.
  std::mutex activeLock_;  // one open or close at a time
  std::mutex stateMu_;
  std::condition_variable stateCv_;
  bool closing_ = false;
  bool listening_ = false;
  bool terminate_ = false;

  // Owned by the event thread.
  MessageAssembler assembler_;
  ModemSignals signals_;

  PortDevice device_;
  std::unique_ptr<TEventThread> eventThread_;
};

}  // namespace qz
