#pragma once
// The communication thread: runs the cycle under the instance lock, then
// sleeps its idle time, until it is stopped.
//
// The lock is held only while a cycle works, never while it sleeps, so the
// host's calls interleave with whole cycles and Stop never waits for a lock
// the thread holds for long.

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace qz {

class DrvThread {
 public:
  struct Hooks {
    // Whether the cycle should work now (false while a stop is requested).
    std::function<bool()> ShouldWork;
    // One cycle of work; runs with the instance lock held.
    std::function<void()> Cycle;
    // The idle time after a cycle, in milliseconds (0: none).
    std::function<int()> IdleMs;
  };

  DrvThread(std::recursive_mutex& lock, Hooks hooks);
  ~DrvThread();
  DrvThread(const DrvThread&) = delete;
  DrvThread& operator=(const DrvThread&) = delete;

  // Ends the loop, wakes its sleep and waits for the thread. Call without
  // holding the instance lock.
  void Stop();

 private:
  void Execute();
  void Idle(int ms);

  std::recursive_mutex& lock_;
  Hooks hooks_;
  std::mutex sleepLock_;
  std::condition_variable wake_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

}  // namespace qz
