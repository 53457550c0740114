#pragma once
// A pseudo-terminal pair for port tests: the driver opens the slave by name
// (through QZ_COM<n>), the test plays the far end on the master.

#include <chrono>
#include <string>
#include <thread>
#include <string_view>

namespace qz::test {

class PtyPair {
 public:
  PtyPair();
  ~PtyPair();
  PtyPair(const PtyPair&) = delete;
  PtyPair& operator=(const PtyPair&) = delete;

  bool ok() const { return master_ >= 0; }
  const std::string& SlaveName() const { return slaveName_; }
  // A descriptor of the slave for reading its settings back.
  int SlaveFd() const { return slave_; }

  // Names the slave as COM<port> for the driver.
  void BindToPort(int port) const;

  // The far end sends bytes.
  void Send(std::string_view bytes) const;
  // Reads until count bytes arrived or timeoutMs passed.
  std::string Receive(std::size_t count, int timeoutMs = 2000) const;
  // The far end goes away (a USB adapter pulled).
  void Unplug();

 private:
  int master_ = -1;
  int slave_ = -1;
  std::string slaveName_;
};

// Waits until condition() holds or timeoutMs passed; returns it. For
// conditions the kernel makes true a little later (bytes crossing a pty).
template <class Condition>
bool WaitUntil(Condition condition, int timeoutMs = 2000) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

}  // namespace qz::test
