#include "config/real6.h"

#include <cmath>

namespace qz {

namespace {
constexpr int kBias = 129;
constexpr int kFractionBits = 39;
constexpr std::uint64_t kFractionLimit = std::uint64_t{1} << kFractionBits;
}  // namespace

Real6::Bytes Real6::Encode(double value) {
  Bytes out{};
  if (value == 0.0 || std::isnan(value)) return out;
  const bool negative = value < 0;
  int exp2 = 0;
  // |value| = m * 2^exp2 with m in [0.5, 1): the format wants 1.f * 2^(exp2-1).
  const double m = std::frexp(std::fabs(value), &exp2);
  int exponent = exp2 - 1 + kBias;
  std::uint64_t fraction = 0;
  if (std::isinf(value)) {
    exponent = 256;
  } else {
    fraction = static_cast<std::uint64_t>(std::llround((2.0 * m - 1.0) * static_cast<double>(kFractionLimit)));
    if (fraction >= kFractionLimit) {
      fraction = 0;
      ++exponent;
    }
  }
  if (exponent <= 0) return out;  // below the smallest magnitude
  if (exponent > 255) {
    exponent = 255;
    fraction = kFractionLimit - 1;
  }
  out[0] = static_cast<std::uint8_t>(exponent);
  for (int i = 0; i < 5; ++i) out[1 + i] = static_cast<std::uint8_t>(fraction >> (8 * i));
  if (negative) out[5] = static_cast<std::uint8_t>(out[5] | 0x80);
  return out;
}

double Real6::Decode(const Bytes& bytes) {
  if (bytes[0] == 0) return 0.0;
  std::uint64_t fraction = 0;
  for (int i = 0; i < 5; ++i) fraction |= std::uint64_t{bytes[1 + i]} << (8 * i);
  const bool negative = (fraction >> kFractionBits) & 1;
  fraction &= kFractionLimit - 1;
  const double mantissa = 1.0 + static_cast<double>(fraction) / static_cast<double>(kFractionLimit);
  const double magnitude = std::ldexp(mantissa, bytes[0] - kBias);
  return negative ? -magnitude : magnitude;
}

}  // namespace qz
