#pragma once
// Bits and bytes of the wire forms. Bit 0 is the least significant bit; in a
// word bits 8..15 are bits 0..7 of the high byte.

#include <cstdint>

namespace qz {

// 2^n for n 0..7 as a byte (0 outside).
constexpr std::uint8_t PowerOfTwoByte(int n) {
  return n >= 0 && n < 8 ? static_cast<std::uint8_t>(1u << n) : std::uint8_t{0};
}

// 2^n for n 0..15 as a word (0 outside).
constexpr std::uint16_t PowerOfTwoWord(int n) {
  return n >= 0 && n < 16 ? static_cast<std::uint16_t>(1u << n) : std::uint16_t{0};
}

// 2^n as a real; negative n gives 1/2^|n|.
double PowerOfTwoReal(int n);

constexpr bool BitOfByte(std::uint8_t value, int n) { return n >= 0 && n < 8 && ((value >> n) & 1u) != 0; }
constexpr bool BitOfWord(std::uint16_t value, int n) { return n >= 0 && n < 16 && ((value >> n) & 1u) != 0; }
constexpr bool BitOfLong(std::uint32_t value, int n) { return n >= 0 && n < 32 && ((value >> n) & 1u) != 0; }

constexpr void SetBit(std::uint8_t& value, int n) { value = static_cast<std::uint8_t>(value | PowerOfTwoByte(n)); }
constexpr void ClearWordBit(std::uint16_t& value, int n) {
  value = static_cast<std::uint16_t>(value & ~PowerOfTwoWord(n));
}

// The mask of the n lowest bits of a byte: (1 shl min(n, 8)) - 1.
constexpr std::uint8_t ByteMask(int n) {
  if (n <= 0) return 0;
  return n >= 8 ? std::uint8_t{0xFF} : static_cast<std::uint8_t>((1u << n) - 1);
}

constexpr std::uint8_t LowByte(std::uint16_t w) { return static_cast<std::uint8_t>(w & 0xFF); }
constexpr std::uint8_t HighByte(std::uint16_t w) { return static_cast<std::uint8_t>(w >> 8); }

// Number of set bits of a mask byte.
constexpr int SetBitCount(std::uint8_t value) {
  int count = 0;
  for (int n = 0; n < 8; ++n) count += BitOfByte(value, n) ? 1 : 0;
  return count;
}

// Two decimal digits, tens in the high nibble: 59h -> 59.
constexpr int BcdToInt(std::uint8_t b) { return (b >> 4) * 10 + (b & 0x0F); }

}  // namespace qz
