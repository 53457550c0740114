#include "serial/message_assembler.h"

namespace qz {

std::optional<std::string> MessageAssembler::Feed(char byte, const Framing& framing) {
  if (state_ == kTrailer) {
    message_.push_back(byte);
    if (--trailerLeft_ == 0) {
      state_ = kComplete;
      return message_;
    }
    return std::nullopt;
  }
  if (byte == framing.Start) {
    state_ = kCollecting;
    message_.assign(1, byte);
    return std::nullopt;
  }
  if (byte == framing.End) {
    if (state_ != kCollecting) return std::nullopt;
    message_.push_back(byte);
    if (framing.AppendCount == 0) {
      state_ = kComplete;
      return message_;
    }
    state_ = kTrailer;
    trailerLeft_ = framing.AppendCount;
    return std::nullopt;
  }
  if (state_ == kCollecting) message_.push_back(byte);
  return std::nullopt;
}

void MessageAssembler::Clear() {
  state_ = kIdle;
  trailerLeft_ = 0;
  message_.clear();
}

}  // namespace qz
