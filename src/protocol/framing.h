#pragma once
// Frames on the line: lead-in (Prefix), message, check byte, lead-out
// (Suffix). The message is the address byte, the length byte L (message
// bytes after the first), the kind, the rest of the header, the body and the
// trailer (PreSuffix). The check byte is the XOR of all message bytes.
// Nothing of a message or frame lies beyond 255 bytes.

#include <cstdint>
#include <string_view>

#include "config/short_str.h"

namespace qz {

struct DriverConfig;

inline constexpr std::size_t kMaxFrame = 255;

// XOR of all bytes.
std::uint8_t CheckByte(std::string_view bytes);

// Prefix + (header, body, PreSuffix with the length in byte 2) + check +
// Suffix. The header's byte 2 is a placeholder.
ShortStr FrameMessage(const DriverConfig& config, std::string_view header, std::string_view body);

// True when the last byte equals the XOR of all bytes before it.
bool CheckFrame(std::string_view message);

// A message that passed the check is taken when its kind (byte 3,
// upper-cased) is not "Y" or when it is addressed to MasterAddress.
bool IsForThisMaster(const DriverConfig& config, std::string_view message);

// The frame that acknowledges the received message r: a "Y" message is
// answered with a "y" message of the same body, any other is echoed
// between Prefix and Suffix.
ShortStr AcknowledgementFrame(const DriverConfig& config, std::string_view r);

}  // namespace qz
