#include "serial/event_thread.h"

#include "serial/serial_port.h"

namespace qz {

TEventThread::~TEventThread() {
  port_.EndEventThread();
  std::lock_guard guard(startLock_);
  if (thread_.joinable()) thread_.join();
}

void TEventThread::Resume() {
  std::lock_guard guard(startLock_);
  if (!thread_.joinable()) thread_ = std::thread([this] { Execute(); });
}

bool TEventThread::IsCurrent() const {
  std::lock_guard guard(startLock_);
  return thread_.get_id() == std::this_thread::get_id();
}

void TEventThread::Execute() {
  while (port_.WaitUntilActive()) port_.ServeEvents();
}

}  // namespace qz
