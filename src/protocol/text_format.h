#pragma once
// Small text formatters of the protocol, the log and the host interface.

#include <cstdint>
#include <string>
#include <string_view>

namespace qz {

// "0".."9", "A".."F" for 0..15, "?" above.
std::string HexDigit(unsigned n);
// Two upper-case hexadecimal digits.
std::string HexByte(std::uint8_t b);
// Four digits, high byte first.
std::string HexWord(std::uint16_t w);
// Every byte as two hexadecimal digits and a blank: "01 FF ".
std::string HexText(std::string_view bytes);

// Radix 10: plain decimal. Otherwise hexadecimal, two digits below 256, else
// four (more when the number needs them); radix 16 appends "h": 10 -> "0Ah".
std::string NumberText(std::uint32_t number, int radix);

// Decimal, left-padded with "0" to three characters: 7 -> "007".
std::string Dec3(std::uint8_t b);
// Decimal, left-padded with "0" to width.
std::string DecPadded(std::uint16_t w, int width);

// The real as Pascal's Str(x:width:decimals) writes it. Width 0 and 0
// decimals give the scientific form " 1.50000000000000E+0001"; otherwise
// fixed notation with the decimals, right-aligned in width (wider when the
// number needs it). Halves round away from zero.
std::string RealText(double value, int width, int decimals);

// The stations' display characters mapped to Windows-1250: DFh degree sign,
// FDh division sign, 7Fh "<", 5Ch 87h, 7Eh ">".
std::string DisplayText(std::string_view text);

}  // namespace qz
