#include "protocol/float24.h"

#include <cmath>

#include "protocol/bits.h"

namespace qz {

namespace {

constexpr Float24 kLargest = {0x7F, 0xFF, 0xFF};

// Builds the 16 fraction bits of a remainder in 0..1, truncating.
std::uint16_t FractionBits(double remainder) {
  std::uint16_t f = 0;
  for (int i = 1; i <= 16; ++i) {
    const double bit = PowerOfTwoReal(-i);
    if (bit <= remainder) {
      f = static_cast<std::uint16_t>(f | (1u << (16 - i)));
      remainder -= bit;
    }
  }
  return f;
}

Float24 Pack(int exponent, bool negative, std::uint16_t fraction) {
  const auto b0 = static_cast<std::uint8_t>((64 + exponent) | (negative ? 0x80 : 0));
  return {b0, HighByte(fraction), LowByte(fraction)};
}

}  // namespace

double PowerOfTwoReal(int n) { return std::ldexp(1.0, n); }

double DecodeFloat24(std::uint8_t b0, std::uint8_t b1, std::uint8_t b2) {
  if (b0 == 0 && b1 == 0 && b2 == 0) return 0.0;
  double m = 1.0 + (b1 * 256 + b2) / 65536.0;
  if (BitOfByte(b0, 7)) m = -m;
  const int x = b0 & 0x3F;
  const double scale = BitOfByte(b0, 6) ? PowerOfTwoReal(x) : PowerOfTwoReal(-(64 - x));
  return m * scale;
}

double DecodeFloat24(std::string_view bytes) {
  auto at = [&](std::size_t i) { return i < bytes.size() ? static_cast<std::uint8_t>(bytes[i]) : std::uint8_t{0}; };
  return DecodeFloat24(at(0), at(1), at(2));
}

Float24 EncodeFloat24(double x) {
  if (x == 0.0 || std::isnan(x)) return {0, 0, 0};
  const bool negative = x < 0;
  double a = std::fabs(x);
  if (a == 1.0) return {static_cast<std::uint8_t>(negative ? 0xC0 : 0x40), 0, 0};
  if (a > 1.0) {
    // Above (2 - 2^-16) * 2^63 the exponent would run into the sign bit.
    if (a >= PowerOfTwoReal(64)) {
      Float24 f = kLargest;
      if (negative) f[0] |= 0x80;
      return f;
    }
    int e = 0;
    while (a >= 2.0) {
      a /= 2.0;
      ++e;
    }
    return Pack(e, negative, FractionBits(a - 1.0));
  }
  int k = 1;
  while (k < 63 && PowerOfTwoReal(-k) > a) ++k;
  return Pack(-k, negative, FractionBits(a * PowerOfTwoReal(k) - 1.0));
}

std::string Float24Bytes(const Float24& f) {
  return {static_cast<char>(f[0]), static_cast<char>(f[1]), static_cast<char>(f[2])};
}

}  // namespace qz
