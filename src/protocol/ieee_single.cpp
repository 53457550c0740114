#include "protocol/ieee_single.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <optional>

#include "config/real6.h"
#include "protocol/bits.h"
#include "protocol/text_format.h"

namespace qz {

namespace {

constexpr std::uint32_t kQuietBit = 0x400000;

// The text's number, when the whole text is one.
std::optional<double> ParseReal(const std::string& text) {
  const char* begin = text.c_str();
  char* end = nullptr;
  errno = 0;
  const double value = std::strtod(begin, &end);
  if (end == begin || *end != '\0' || errno == ERANGE || !std::isfinite(value)) return std::nullopt;
  return value;
}

double Fraction23(std::uint32_t h) { return static_cast<double>(h) / 8388608.0; }

}  // namespace

std::string SingleToText(std::uint32_t bits) {
  const bool negative = BitOfLong(bits, 31);
  const int g = static_cast<int>((bits >> 23) & 0xFF);
  const std::uint32_t h = bits & 0x7FFFFF;
  double value = 0.0;
  if (g == 0 && h == 0) {
    value = 0.0;
  } else if (g == 255 && h == kQuietBit) {
    return negative ? "-infinity" : "+infinity";
  } else if (g == 255 && (h & kQuietBit) != 0) {
    return "NaN/x87 err";
  } else if (g != 0 || (h & kQuietBit) != 0) {
    value = std::ldexp(1.0 + Fraction23(h), g - 127);
  } else {
    value = std::ldexp(Fraction23(h), -127);
  }
  if (value > 1.0E38) return negative ? "-infinity" : "+infinity";
  return RealText(negative && value != 0.0 ? -value : value, 0, 0);
}

double SingleToValue(std::uint32_t bits) { return ParseReal(SingleToText(bits)).value_or(-1.0); }

double QqRealToValue(std::uint32_t bits) {
  return ParseReal(SingleToText(bits)).value_or(Real6::Round(-1.0E37));
}

std::uint32_t LittleEndian32(std::string_view bytes) {
  std::uint32_t v = 0;
  for (std::size_t i = 0; i < 4; ++i) {
    const std::uint32_t b = i < bytes.size() ? static_cast<std::uint8_t>(bytes[i]) : 0u;
    v |= b << (8 * i);
  }
  return v;
}

}  // namespace qz
