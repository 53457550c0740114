#pragma once
// An in-memory serial line: what is written is kept, what a test queues is
// read back; purges are counted and drop nothing.

#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>

#include "serial/serial_line.h"

namespace qz::test {

class MemoryLine final : public SerialLine {
 public:
  bool Active() const override { return Open; }

  void WriteText(std::string_view bytes) override {
    std::lock_guard guard(lock_);
    written_.append(bytes);
    if (HoldsOutput) txWaiting_ += static_cast<std::int32_t>(bytes.size());
  }

  int ReadChar(std::uint8_t& byte) override {
    std::lock_guard guard(lock_);
    ++readCalls_;
    if (incoming_.empty()) return 0;
    byte = incoming_.front();
    incoming_.pop_front();
    return 1;
  }

  std::int32_t RxWaiting() override {
    std::lock_guard guard(lock_);
    return static_cast<std::int32_t>(incoming_.size());
  }

  std::int32_t TxWaiting() override {
    std::lock_guard guard(lock_);
    return txWaiting_;
  }

  void PurgeRx() override {
    std::lock_guard guard(lock_);
    ++purgeRx_;
  }

  void PurgeTx() override {
    std::lock_guard guard(lock_);
    ++purgeTx_;
  }

  bool SetSignal(int signal, bool state) override {
    std::lock_guard guard(lock_);
    if (signal == 0) {
      Rts = state;
      ++RtsWrites;
    }
    else if (signal == 1) Dtr = state;
    else return false;
    return true;
  }

  // Records the wait and returns: a test moves its clock itself.
  void AwaitLine(const LineWait& wait) override {
    std::lock_guard guard(lock_);
    lastWait_ = wait;
    ++waits_;
  }
  void WakeLine() override {
    std::lock_guard guard(lock_);
    ++wakes_;
  }
  LineWait LastWait() const {
    std::lock_guard guard(lock_);
    return lastWait_;
  }
  int Wakes() const {
    std::lock_guard guard(lock_);
    return wakes_;
  }

  // Bytes that the far end sends.
  void Receive(std::string_view bytes) {
    std::lock_guard guard(lock_);
    incoming_.insert(incoming_.end(), bytes.begin(), bytes.end());
  }

  // Bytes written so far; Take also forgets them.
  std::string Written() const {
    std::lock_guard guard(lock_);
    return written_;
  }
  std::string Take() {
    std::lock_guard guard(lock_);
    return std::exchange(written_, {});
  }

  // With HoldsOutput, written bytes wait in the output buffer until Drain.
  void Drain() { SetTxWaiting(0); }

  void SetTxWaiting(std::int32_t count) {
    std::lock_guard guard(lock_);
    txWaiting_ = count;
  }

  int PurgeRxCount() const {
    std::lock_guard guard(lock_);
    return purgeRx_;
  }
  int PurgeTxCount() const {
    std::lock_guard guard(lock_);
    return purgeTx_;
  }
  int ReadCalls() const {
    std::lock_guard guard(lock_);
    return readCalls_;
  }

  bool Open = true;
  bool HoldsOutput = false;
  bool Rts = false;
  int RtsWrites = 0;
  bool Dtr = false;

 private:
  mutable std::mutex lock_;
  std::string written_;
  std::deque<std::uint8_t> incoming_;
  std::int32_t txWaiting_ = 0;
  int purgeRx_ = 0;
  int purgeTx_ = 0;
  int readCalls_ = 0;
  LineWait lastWait_;
  int waits_ = 0;
  int wakes_ = 0;
};

}  // namespace qz::test
