#pragma once
// Receive side of the line: takes bytes as far as the port already holds
// them, hunts for the Prefix, reads the address and length bytes, then the
// L remaining bytes, and hands every message that passes the check and is
// meant for this master to a sink. The hunting window and the message
// buffer belong to the caller's line state, so that a line reset can empty
// them.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "config/short_str.h"

namespace qz {

struct DriverConfig;
class Log;

// What the port has received and not yet handed out.
class ByteInput {
 public:
  virtual ~ByteInput() = default;
  virtual std::size_t Waiting() = 0;
  // At most count bytes, never more than Waiting().
  virtual std::string Read(std::size_t count) = 0;
};

// Bytes held in memory: tests, replays and the fuzz target.
class BufferInput : public ByteInput {
 public:
  explicit BufferInput(std::string_view bytes = {}) : bytes_(bytes) {}
  void Append(std::string_view bytes) { bytes_.append(bytes); }
  std::size_t Waiting() override { return bytes_.size() - read_; }
  std::string Read(std::size_t count) override;

 private:
  std::string bytes_;
  std::size_t read_ = 0;
};

struct FrameCounters {
  std::uint64_t Started = 0;        // prefix and header received
  std::uint64_t Accepted = 0;       // handed to the sink
  std::uint64_t BadCheck = 0;       // dropped: check byte wrong
  std::uint64_t ForeignMaster = 0;  // dropped: addressed to another master
};

enum class ReceiveEvent : std::uint8_t { None, Started, Accepted, BadCheck, ForeignMaster };

class FrameAssembler {
 public:
  using Sink = std::function<void(const ShortStr& message)>;

  // config gives Prefix and MasterAddress.
  FrameAssembler(const DriverConfig& config, Log& log, ShortStr& prefixBuffer, ShortStr& answerBuffer, Sink sink)
      : config_(config), log_(log), window_(prefixBuffer), buffer_(answerBuffer), sink_(std::move(sink)) {}

  // One receive step: at most one byte while hunting, then the header once
  // two bytes wait, then the rest once L bytes wait. Reports the last thing
  // that happened.
  ReceiveEvent Step(ByteInput& input);

  // Steps until the input is used up or waits for more: for replays.
  void Drain(ByteInput& input);

  const FrameCounters& Counters() const { return counters_; }

  // Bytes taken from the input so far, and how many had been taken before
  // the first byte (Prefix included) of the message last started: tells
  // whether a frame began before or after a given moment of the stream.
  std::uint64_t Taken() const { return taken_; }
  std::uint64_t FrameStart() const { return frameStart_; }

 private:
  bool Hunt(ByteInput& input);
  ReceiveEvent Finish(ByteInput& input);
  std::string Take(ByteInput& input, std::size_t count);

  const DriverConfig& config_;
  Log& log_;
  ShortStr& window_;
  ShortStr& buffer_;
  Sink sink_;
  FrameCounters counters_;
  std::uint64_t taken_ = 0;
  std::uint64_t frameStart_ = 0;
};

}  // namespace qz
