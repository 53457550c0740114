// Fuzz target: line bytes through the frame assembler, every accepted
// message through the answer decoder, with a station set-up that reaches
// every code (memory blocks, QQ variables, history read-out states).

#include <cstddef>
#include <cstdint>
#include <string>

#include "host/answer_handling.h"
#include "host/driver_state.h"
#include "protocol/frame_assembler.h"
#include "protocol/request_encoding.h"

namespace {

void SetUpStations(qz::DriverState& state, std::uint8_t selector) {
  qz::InitDriverState(state);
  qz::ClearStationValues(state.Config);
  state.Config.MasterAddress = 1;
  state.Config.Prefix = (selector & 1) ? std::string("\xFF\x02") : std::string();
  state.History.Query.HistoryState = (selector & 2)   ? qz::HistoryPhase::ReadingRecords
                                      : (selector & 4) ? qz::HistoryPhase::ReadingPositions
                                                       : qz::HistoryPhase::WritingUserPos;
  state.Samples.HistoryPeriod = static_cast<std::uint8_t>(1 + (selector >> 3) % 3);
  state.Config.StationCount = 2;
  for (int n = 1; n <= 2; ++n) {
    qz::StationRecord& s = state.Config.Station(n);
    s.Address = static_cast<std::uint8_t>(4 + n);
    s.NumBinarIn = 96;
    s.NumAnalogIn = 64;
    s.NumCounterIn = 48;
    s.NumMemoryIn = 45;
    s.NumMemoryOut = 100;
    s.MemoryInArray = static_cast<std::uint8_t>(n == 2);
    s.DefAnalogInAddr = 0x1000;
    if (n == 2) s.Phone = "123";
    qz::MemoryBlock block;
    block.Addr = 0x2000;
    block.Types = std::string("\x01\x02\x03\x04\x05\x06\x09", 7);
    qz::AppendMemoryBlock(s, block);
    qz::QqVariable v;
    v.Block = 1;
    v.Group = 2;
    for (std::uint8_t type = 1; type <= 7; ++type) {
      v.Item = static_cast<std::uint8_t>(type * 10);
      v.Type = static_cast<qz::QqType>(type);
      v.Direction = qz::QqDirection::Bidir;
      qz::AppendQqVariable(s, v);
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  qz::DriverState state;
  SetUpStations(state, data[0]);
  // The frame "sent" before the answers: a QQ request made from the input.
  const std::size_t sentLength = data[1] % 64;
  std::string input(reinterpret_cast<const char*>(data + 2), size - 2);
  qz::Request request;
  request.Station = 1;
  request.Kind = (data[0] & 0x80) ? qz::RequestKind::QqWrite : qz::RequestKind::QqRead;
  request.Data = input.substr(0, sentLength);
  const std::string sent = qz::CodeMess(state.Config, state.Log, request).str();
  qz::ShortStr window;
  qz::ShortStr buffer;
  qz::FrameAssembler assembler(state.Config, state.Log, window, buffer,
                               [&](const qz::ShortStr& message) { qz::DecodeAnswer(state, message, sent); });
  qz::BufferInput line(input);
  assembler.Drain(line);
  // Also decode the raw input as one message, without framing.
  qz::DecodeAnswer(state, input, sent);
  return 0;
}
