// Fuzz target: the frame assembler alone. Line bytes arrive in chunks of
// sizes taken from the input, with the lead-in forms a parameter file can
// give (none, one byte, the usual 10 02, lead-ins whose bytes repeat, a long
// one). Checked on every input:
// - every message handed on has L + 2 bytes (L its length byte; at most
//   255 are kept), passes the
//   check byte and, when of kind Y, is addressed to this master;
// - the chunking does not matter: the same stream given all at once hands
//   on the same messages and leaves the same partial state;
// - a frame built by the driver's own framing, following the stream after
//   a line reset, comes back as exactly its message.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "host/driver_state.h"
#include "protocol/frame_assembler.h"
#include "protocol/framing.h"

namespace {

const std::string_view kPrefixes[] = {
    std::string_view(),                    // PREFIX NONE
    std::string_view("\x02", 1),           // PREFIX $02
    std::string_view("\x10\x02", 2),       // PREFIX $10$02
    std::string_view("\x10\x10\x02", 3),   // a byte that repeats at the start
    std::string_view("\x02\x02", 2),       // a lead-in that overlaps itself
    std::string_view("\x00", 1),           // PREFIX $00
    std::string_view("AB\x10\x02", 4),     // PREFIX "AB"$10$02
    std::string_view("\xFF\xFF\xFF\xFF\xFF\xFF\xFF\x02", 8),
};

struct Run {
  std::vector<std::string> Messages;
  std::string Window;
  std::string Buffer;
};

void Fail() { __builtin_trap(); }

void CheckMessage(const qz::DriverState& state, const std::string& m) {
  // The receive buffer keeps at most 255 bytes of a message.
  if (m.size() < 2 || m.size() > qz::kMaxFrame) Fail();
  const std::size_t sent = static_cast<std::size_t>(static_cast<std::uint8_t>(m[1])) + 2;
  if (m.size() != std::min(sent, qz::kMaxFrame)) Fail();
  if (!qz::CheckFrame(m)) Fail();
  if (m.size() >= 3 && (m[2] == 'Y' || m[2] == 'y') && static_cast<std::uint8_t>(m[0]) != state.Config.MasterAddress) Fail();
}

// Feeds the stream in the given chunk sizes; a chunk size of 0 stands for
// one step with nothing new.
Run Feed(qz::DriverState& state, std::string_view stream, const std::vector<std::size_t>& chunks) {
  Run run;
  qz::ShortStr window;
  qz::ShortStr buffer;
  qz::FrameAssembler assembler(state.Config, state.Log, window, buffer, [&](const qz::ShortStr& m) {
    CheckMessage(state, m.str());
    run.Messages.push_back(m.str());
  });
  qz::BufferInput input;
  std::size_t fed = 0;
  for (std::size_t chunk : chunks) {
    if (fed >= stream.size()) break;
    const std::size_t n = std::min(chunk, stream.size() - fed);
    input.Append(stream.substr(fed, n));
    fed += n;
    assembler.Step(input);
  }
  input.Append(stream.substr(fed));
  assembler.Drain(input);
  const qz::FrameCounters& c = assembler.Counters();
  if (c.Accepted != run.Messages.size()) Fail();
  if (c.Accepted + c.BadCheck + c.ForeignMaster > c.Started) Fail();
  if (c.Started > c.Accepted + c.BadCheck + c.ForeignMaster + 1) Fail();
  run.Window = window.str();
  run.Buffer = buffer.str();
  return run;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 3) return 0;
  qz::DriverState state;
  state.Config.Prefix = kPrefixes[data[0] % std::size(kPrefixes)];
  state.Config.Suffix = (data[0] & 0x80) ? std::string_view("\x10\x03", 2) : std::string_view();
  state.Config.PreSuffix = (data[0] & 0x40) ? std::string_view("\xAA", 1) : std::string_view();
  state.Config.MasterAddress = data[1];
  // Chunk sizes: a few bytes of the input, the rest is the line.
  const std::size_t chunkCount = data[2] % 16;
  if (size < 3 + chunkCount) return 0;
  std::vector<std::size_t> chunks;
  for (std::size_t i = 0; i < chunkCount; ++i) chunks.push_back(data[3 + i] % 40);
  const std::string_view stream(reinterpret_cast<const char*>(data + 3 + chunkCount), size - 3 - chunkCount);

  const Run chunked = Feed(state, stream, chunks);
  const Run whole = Feed(state, stream, {});
  if (chunked.Messages != whole.Messages || chunked.Window != whole.Window || chunked.Buffer != whole.Buffer) Fail();

  // A frame of the driver's framing after a reset comes back whole: its
  // header is of kind Y from station 5 to this master, its body the first
  // bytes of the stream.
  const std::string body(stream.substr(0, std::min<std::size_t>(stream.size(), 200)));
  const std::string header{static_cast<char>(state.Config.MasterAddress), 0, 'Y', 0, 0, 5};
  const qz::ShortStr frame = qz::FrameMessage(state.Config, header, body);
  const std::size_t messageLength = header.size() + body.size() + state.Config.PreSuffix.size() + 1;
  const bool whole_frame = state.Config.Prefix.size() + messageLength + state.Config.Suffix.size() <= qz::kMaxFrame &&
                           messageLength <= qz::kMaxFrame;
  const Run echoed = Feed(state, frame.view(), chunks);
  if (whole_frame) {
    if (echoed.Messages.size() != 1) Fail();
    if (echoed.Messages[0] != frame.view().substr(state.Config.Prefix.size(), messageLength)) Fail();
  }
  return 0;
}
