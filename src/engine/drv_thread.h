#pragma once
// The communication thread: runs a cycle under the instance lock, then
// waits, without the lock, for what the cycle says it waits for (a time,
// the line, a wake from the host) until it is stopped.
//
// The lock is held only while a cycle works, never while it waits, so the
// host's calls interleave with whole cycles and Stop never waits for a lock
// the thread holds for long.

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

#include "serial/serial_line.h"

namespace qz {

class DrvThread {
 public:
  struct Hooks {
    // Whether the cycle should work now (false while a stop is requested).
    std::function<bool()> ShouldWork;
    // One cycle of work; runs with the instance lock held. Tells what to
    // wait for before the next (a time-out of 0: none).
    std::function<LineWait()> Cycle;
    // Waits as told, without the lock; ends early on Wake.
    std::function<void(const LineWait&)> Await;
    // Ends the current or the next Await; from any thread.
    std::function<void()> WakeAwait;
  };

  DrvThread(std::mutex& lock, Hooks hooks);
  ~DrvThread();
  DrvThread(const DrvThread&) = delete;
  DrvThread& operator=(const DrvThread&) = delete;

  // Makes the thread run its next cycle now (a request queued, a command).
  void Wake();

  // Ends the loop, wakes its wait and waits for the thread. Call without
  // holding the instance lock.
  void Stop();

 private:
  void Execute();
  void Idle(int ms);

  std::mutex& lock_;
  Hooks hooks_;
  std::mutex sleepLock_;
  std::condition_variable wake_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

}  // namespace qz
