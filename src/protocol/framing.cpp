#include "protocol/framing.h"

#include <string>

#include "host/driver_state.h"

namespace qz {

namespace {

// Length byte and check byte of a message; m holds header, body and trailer.
ShortStr SealMessage(const DriverState& state, std::string m) {
  if (m.size() > kMaxFrame) m.resize(kMaxFrame);
  if (m.size() >= 2) m[1] = static_cast<char>(m.size() - 1);
  m.push_back(static_cast<char>(CheckByte(m)));
  ShortStr frame = state.Config.Prefix.view();
  frame += m;
  frame += state.Config.Suffix.view();
  return frame;
}

std::uint8_t At(std::string_view bytes, std::size_t position) {
  return position >= 1 && position <= bytes.size() ? static_cast<std::uint8_t>(bytes[position - 1]) : 0;
}

}  // namespace

std::uint8_t CheckByte(std::string_view bytes) {
  std::uint8_t x = 0;
  for (char c : bytes) x = static_cast<std::uint8_t>(x ^ static_cast<std::uint8_t>(c));
  return x;
}

ShortStr FrameMessage(const DriverState& state, std::string_view header, std::string_view body) {
  std::string m(header);
  m.append(body).append(state.Config.PreSuffix.view());
  return SealMessage(state, std::move(m));
}

bool CheckFrame(std::string_view message) {
  if (message.empty()) return false;
  return static_cast<std::uint8_t>(message.back()) == CheckByte(message.substr(0, message.size() - 1));
}

bool IsForThisMaster(const DriverState& state, std::string_view message) {
  const std::uint8_t kind = At(message, 3);
  if (kind != 'Y' && kind != 'y') return true;
  return At(message, 1) == state.Config.MasterAddress;
}

ShortStr AcknowledgementFrame(const DriverState& state, std::string_view r) {
  if (At(r, 3) != 'Y') {
    ShortStr frame = state.Config.Prefix.view();
    frame += r;
    frame += state.Config.Suffix.view();
    return frame;
  }
  std::string m{static_cast<char>(At(r, 4)), 0, 'y', 0, static_cast<char>(At(r, 6)), 0};
  if (r.size() > 7) m.append(r.substr(6, r.size() - 7));  // r[7] .. r[n-1]
  return SealMessage(state, std::move(m));
}

}  // namespace qz
