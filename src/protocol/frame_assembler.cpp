#include "protocol/frame_assembler.h"

#include <algorithm>

#include "config/driver_config.h"
#include "diag/log.h"
#include "diag/texts.h"
#include "protocol/framing.h"

namespace qz {

std::string BufferInput::Read(std::size_t count) {
  count = std::min(count, Waiting());
  std::string out = bytes_.substr(read_, count);
  read_ += count;
  return out;
}

std::string FrameAssembler::Take(ByteInput& input, std::size_t count) {
  std::string bytes = input.Read(count);
  taken_ += bytes.size();
  return bytes;
}

bool FrameAssembler::Hunt(ByteInput& input) {
  ShortStr& window = window_;
  const ShortStr& prefix = config_.Prefix;
  if (window == prefix) return true;
  if (input.Waiting() == 0) return false;
  std::string grown = window.str() + Take(input, 1);
  if (grown.size() > prefix.size()) grown.erase(0, grown.size() - prefix.size());
  window = grown;
  return window == prefix;
}

ReceiveEvent FrameAssembler::Step(ByteInput& input) {
  if (!Hunt(input)) return ReceiveEvent::None;
  ShortStr& buffer = buffer_;
  ReceiveEvent event = ReceiveEvent::None;
  if (buffer.empty()) {
    if (input.Waiting() < 2) return event;
    frameStart_ = taken_ - std::min<std::uint64_t>(taken_, window_.size());
    buffer = Take(input, 2);
    ++counters_.Started;
    log_.Line(text::kLogReceiveData, text::kLogRxPrefix);
    event = ReceiveEvent::Started;
  }
  if (input.Waiting() < buffer.byte(1)) return event;
  return Finish(input);
}

ReceiveEvent FrameAssembler::Finish(ByteInput& input) {
  ShortStr& buffer = buffer_;
  log_.Line(text::kLogReceiveData, text::kLogRxMessage);
  // The whole message leaves the port even when the buffer cannot keep it.
  buffer += Take(input, buffer.byte(1));
  ReceiveEvent event = ReceiveEvent::BadCheck;
  if (!CheckFrame(buffer)) {
    ++counters_.BadCheck;
  } else {
    log_.Line(text::kLogReceiveData, text::kLogRxXorOk);
    if (IsForThisMaster(config_, buffer)) {
      log_.Line(text::kLogReceiveData, text::kLogRxSaveIt);
      ++counters_.Accepted;
      event = ReceiveEvent::Accepted;
      if (sink_) sink_(buffer);
    } else {
      ++counters_.ForeignMaster;
      event = ReceiveEvent::ForeignMaster;
    }
  }
  window_.clear();
  buffer.clear();
  return event;
}

void FrameAssembler::Drain(ByteInput& input) {
  for (;;) {
    const std::size_t before = input.Waiting();
    Step(input);
    if (input.Waiting() == before) return;  // waits for bytes that are not there
  }
}

}  // namespace qz
