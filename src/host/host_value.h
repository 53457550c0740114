#pragma once
// The host's value record: reading and writing its eight data bytes by type
// code, little-endian, and the text reference that type code 11 carries.

#include <cstdint>
#include <string_view>

#include "qzdrk485.h"

namespace qz {

enum HostType : std::uint32_t {
  kTypeBool = 2,
  kTypeByte = 3,
  kTypeWord = 4,
  kTypeCardinal = 5,
  kTypeShortInt = 6,
  kTypeSmallInt = 7,
  kTypeLongInt = 8,
  kTypeSingle = 9,
  kTypeDouble = 10,
  kTypeText = 11,
  kTypeBuffer = 12,
};

void PutU8(HostValue& v, std::uint8_t x);
void PutBool(HostValue& v, bool x);  // 1 or 0
void PutU16(HostValue& v, std::uint16_t x);
void PutU32(HostValue& v, std::uint32_t x);
void PutSingle(HostValue& v, float x);
void PutDouble(HostValue& v, double x);

std::uint8_t GetU8(const HostValue& v);
std::uint16_t GetU16(const HostValue& v);
std::uint32_t GetU32(const HostValue& v);
float GetSingle(const HostValue& v);
double GetDouble(const HostValue& v);

// Copies exactly size bytes of text (padded with zeros) into the host's
// character buffer; nothing when the record carries no reference.
void PutText(const HostValue& v, std::string_view text, std::size_t size);

// The value truncated toward zero; NaN gives 0, values beyond 64 bits the
// nearest 64-bit number.
std::int64_t TruncateToInt64(double x);

// The double as an IEEE single; beyond the single's range it becomes an
// infinity of its sign.
float ToSingle(double x);

}  // namespace qz
