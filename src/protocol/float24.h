#pragma once
// The stations' three-byte floating-point form.
//
// b0 bit 7: sign; b0 bits 0..6: exponent + 64; b1 b2: 16-bit fraction, high
// byte first, with an implied leading 1. 00 00 00 alone stands for 0.
// value = sign * (1 + F/65536) * 2^((b0 AND 7Fh) - 64)

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace qz {

using Float24 = std::array<std::uint8_t, 3>;

double DecodeFloat24(std::uint8_t b0, std::uint8_t b1, std::uint8_t b2);

// Takes the first three bytes of the text; missing bytes read as 0.
double DecodeFloat24(std::string_view bytes);

// Truncates the fraction, never rounds. Magnitudes beyond the format's range
// give its largest value of that sign; NaN gives 0.
Float24 EncodeFloat24(double x);

// The three bytes as a byte string, for frames.
std::string Float24Bytes(const Float24& f);

}  // namespace qz
