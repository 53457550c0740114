#pragma once
// Assembles whole messages from received bytes: a start character, the
// body, an end character and a fixed number of trailer bytes (a check byte).

#include <cstdint>
#include <optional>
#include <string>

namespace qz {

class MessageAssembler {
 public:
  enum State : std::uint8_t { kIdle = 0, kCollecting = 1, kTrailer = 2, kComplete = 3 };

  struct Framing {
    char Start = 2;
    char End = 3;
    std::uint16_t AppendCount = 0;
  };

  // Takes one byte; returns the message it completes. Bytes outside a
  // message are dropped; trailer bytes are taken as they come.
  std::optional<std::string> Feed(char byte, const Framing& framing);

  State state() const { return state_; }
  const std::string& message() const { return message_; }
  void Clear();

 private:
  State state_ = kIdle;
  std::uint16_t trailerLeft_ = 0;
  std::string message_;
};

}  // namespace qz
