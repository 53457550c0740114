#include "protocol/framing.h"

#include <string>

#include "config/driver_config.h"

namespace qz {

namespace {

// Length byte and check byte of a message; m holds header, body and trailer.
ShortStr SealMessage(const DriverConfig& config, std::string m) {
  if (m.size() > kMaxFrame) m.resize(kMaxFrame);
  if (m.size() >= 2) m[1] = static_cast<char>(m.size() - 1);
  m.push_back(static_cast<char>(CheckByte(m)));
  ShortStr frame = config.Prefix.view();
  frame += m;
  frame += config.Suffix.view();
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

ShortStr FrameMessage(const DriverConfig& config, std::string_view header, std::string_view body) {
  std::string m(header);
  m.append(body).append(config.PreSuffix.view());
  return SealMessage(config, std::move(m));
}

bool CheckFrame(std::string_view message) {
  if (message.empty()) return false;
  return static_cast<std::uint8_t>(message.back()) == CheckByte(message.substr(0, message.size() - 1));
}

bool IsForThisMaster(const DriverConfig& config, std::string_view message) {
  const std::uint8_t kind = At(message, 3);
  if (kind != 'Y' && kind != 'y') return true;
  return At(message, 1) == config.MasterAddress;
}

ShortStr AcknowledgementFrame(const DriverConfig& config, std::string_view r) {
  if (At(r, 3) != 'Y') {
    ShortStr frame = config.Prefix.view();
    frame += r;
    frame += config.Suffix.view();
    return frame;
  }
  std::string m{static_cast<char>(At(r, 4)), 0, 'y', 0, static_cast<char>(At(r, 6)), 0};
  if (r.size() > 7) m.append(r.substr(6, r.size() - 7));  // r[7] .. r[n-1]
  return SealMessage(config, std::move(m));
}

}  // namespace qz
