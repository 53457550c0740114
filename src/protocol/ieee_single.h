#pragma once
// IEEE-754 single precision patterns of history records and QQ variables,
// as text and as reals.

#include <cstdint>
#include <string>
#include <string_view>

namespace qz {

// The value in the scientific form of RealText, or "+infinity",
// "-infinity", "NaN/x87 err" for patterns that are no usable number
// (magnitudes above 1.0E38 included).
std::string SingleToText(std::uint32_t bits);

// SingleToText read back as a real; -1.0 when it is no number.
double SingleToValue(std::uint32_t bits);

// As SingleToValue, failing with -1.0E37 (QQ variables).
double QqRealToValue(std::uint32_t bits);

// Four bytes, least significant first; missing bytes read as 0.
std::uint32_t LittleEndian32(std::string_view bytes);

}  // namespace qz
