#include "support/pty_pair.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>

namespace qz::test {

PtyPair::PtyPair() {
  char name[256] = {};
  if (::openpty(&master_, &slave_, name, nullptr, nullptr) != 0) {
    master_ = slave_ = -1;
    return;
  }
  slaveName_ = name;
  // The far end sees bytes exactly as the driver writes them.
  termios t{};
  ::tcgetattr(master_, &t);
  ::cfmakeraw(&t);
  ::tcsetattr(master_, TCSANOW, &t);
  ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
}

PtyPair::~PtyPair() {
  Unplug();
  if (slave_ >= 0) ::close(slave_);
}

void PtyPair::BindToPort(int port) const {
  ::setenv(("QZ_COM" + std::to_string(port)).c_str(), slaveName_.c_str(), 1);
}

void PtyPair::Send(std::string_view bytes) const {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
    if (n > 0) done += static_cast<std::size_t>(n);
    else if (n < 0 && errno != EAGAIN && errno != EINTR) return;
  }
}

std::string PtyPair::Receive(std::size_t count, int timeoutMs) const {
  std::string bytes;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (bytes.size() < count) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
    if (left <= 0) break;
    pollfd p{master_, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(left)) <= 0) continue;
    char buffer[256];
    const ssize_t n = ::read(master_, buffer, std::min(sizeof buffer, count - bytes.size()));
    if (n > 0) bytes.append(buffer, static_cast<std::size_t>(n));
  }
  return bytes;
}

void PtyPair::Unplug() {
  if (master_ >= 0) ::close(master_);
  master_ = -1;
}

}  // namespace qz::test
