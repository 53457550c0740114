#pragma once
// TEventThread: waits for line events of one TSerial and raises its events.
// It starts with the first open, idles while the port is closed (the close
// releases its wait at once) and ends when the port object is destroyed.

#include <mutex>
#include <thread>

namespace qz {

class TSerial;

class TEventThread {
 public:
  explicit TEventThread(TSerial& port) : port_(port) {}
  ~TEventThread();
  TEventThread(const TEventThread&) = delete;
  TEventThread& operator=(const TEventThread&) = delete;

  // Starts the thread unless it runs already.
  void Resume();
  // Whether the caller is this thread (a handler closing its own port).
  bool IsCurrent() const;

 private:
  void Execute();

  TSerial& port_;
  mutable std::mutex startLock_;
  std::thread thread_;
};

}  // namespace qz
