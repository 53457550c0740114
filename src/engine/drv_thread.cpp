#include "engine/drv_thread.h"

#include <chrono>

namespace qz {

namespace {
// While a stop is requested the loop waits this long between looks, where a
// busy loop would burn a core.
constexpr int kStoppingPollMs = 10;
}  // namespace

DrvThread::DrvThread(std::mutex& lock, Hooks hooks) : lock_(lock), hooks_(std::move(hooks)) {
  thread_ = std::thread([this] { Execute(); });
}

DrvThread::~DrvThread() { Stop(); }

void DrvThread::Wake() {
  if (hooks_.WakeAwait) hooks_.WakeAwait();
}

void DrvThread::Stop() {
  {
    std::lock_guard guard(sleepLock_);
    stop_ = true;
  }
  wake_.notify_all();
  Wake();
  if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
}

void DrvThread::Execute() {
  while (!stop_) {
    if (!hooks_.ShouldWork()) {
      Idle(kStoppingPollMs);
      continue;
    }
    LineWait wait;
    {
      std::lock_guard guard(lock_);
      wait = hooks_.Cycle();
    }
    // A wake that came while the cycle worked ends this wait at once.
    if (wait.TimeoutMs != 0 && !stop_) hooks_.Await(wait);
  }
}

void DrvThread::Idle(int ms) {
  std::unique_lock guard(sleepLock_);
  wake_.wait_for(guard, std::chrono::milliseconds(ms), [this] { return stop_.load(); });
}

}  // namespace qz
