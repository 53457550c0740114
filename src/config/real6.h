#pragma once
// The six-byte real in which the records hold settings, limits and values.
//
// Byte 0: binary exponent biased by 129 (0 means the value 0). Bytes 1..5: a
// 39-bit fraction, least significant byte first, bit 7 of byte 5 the sign.
// value = (-1)^sign * (1 + fraction / 2^39) * 2^(exponent - 129)
// A value stored here takes this precision: 155.08 reads back as
// 155.0800000000745.

#include <array>
#include <cstdint>

namespace qz {

class Real6 {
 public:
  using Bytes = std::array<std::uint8_t, 6>;

  constexpr Real6() = default;
  Real6(double value) : bytes_(Encode(value)) {}  // NOLINT: a real is assigned like a double

  static Real6 FromBytes(const Bytes& bytes) {
    Real6 r;
    r.bytes_ = bytes;
    return r;
  }

  double value() const { return Decode(bytes_); }
  operator double() const { return value(); }  // NOLINT
  const Bytes& bytes() const { return bytes_; }

  // Rounds to nearest; values too small for the format become 0, values too
  // large the largest magnitude of their sign.
  static Bytes Encode(double value);
  static double Decode(const Bytes& bytes);

  // The value a double takes after passing through the six-byte form.
  static double Round(double value) { return Decode(Encode(value)); }

  friend bool operator==(const Real6& a, const Real6& b) { return a.bytes_ == b.bytes_; }

 private:
  Bytes bytes_{};
};

// Marker stored when a real cannot be read (-999999.9 in the six-byte form).
inline double MissingReal() { return Real6::Round(-999999.9); }
inline bool IsMissingReal(double value) { return value == MissingReal(); }

}  // namespace qz
