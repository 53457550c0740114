#pragma once
// The exports that identify the driver; callable at any time.

#include <cstdint>

struct QueryReply;

namespace qz {

inline constexpr std::int32_t kHostInterfaceVersion = 0x30000;

// Writes the identity text and a NUL (34 bytes) and returns its length.
std::int32_t WriteDriverInfo(char* text);

// Answers the one query the driver knows: code 11 "GetVersion" with a reply
// of kind 11 gets the identity text. Anything else leaves the reply alone.
void AnswerQuery(std::uint32_t code, const char* name, QueryReply* reply);

}  // namespace qz
