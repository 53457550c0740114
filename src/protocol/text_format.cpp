#include "protocol/text_format.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace qz {

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

std::string Printf(const char* format, int width, int decimals, double value) {
  char buf[512];
  const int n = std::snprintf(buf, sizeof buf, format, width, decimals, value);
  return n < 0 ? std::string() : std::string(buf, static_cast<std::size_t>(n) < sizeof buf ? static_cast<std::size_t>(n) : sizeof buf - 1);
}

// printf rounds an exact tie to even; Str rounds it away from zero. Move a
// tie one step outward so that printf takes the same side.
double AwayFromZeroOnTie(double value, int decimals) {
  if (decimals > 15 || !std::isfinite(value)) return value;
  const double scaled = value * std::pow(10.0, decimals);
  if (std::fabs(scaled) >= 4503599627370496.0) return value;  // 2^52: no fraction left
  const double fraction = std::fabs(scaled - std::trunc(scaled));
  if (fraction != 0.5) return value;
  return std::nextafter(value, value < 0 ? -INFINITY : INFINITY);
}

std::string ScientificText(double value) {
  // "%.14E" gives "1.50000000000000E+01"; the form wants four exponent digits
  // and a blank in place of a plus sign.
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.14E", value);
  std::string text(buf);
  const auto e = text.find('E');
  if (e == std::string::npos) return text;  // inf or nan
  const std::string mantissa = text.substr(0, e);
  const char sign = text[e + 1];
  const int exponent = std::abs(std::atoi(text.c_str() + e + 2));
  char exp[16];
  std::snprintf(exp, sizeof exp, "E%c%04d", sign, exponent);
  return (std::signbit(value) ? "" : " ") + mantissa + exp;
}

}  // namespace

std::string HexDigit(unsigned n) { return n < 16 ? std::string(1, kHexDigits[n]) : std::string("?"); }

std::string HexByte(std::uint8_t b) { return {kHexDigits[b >> 4], kHexDigits[b & 0x0F]}; }

std::string HexWord(std::uint16_t w) {
  return HexByte(static_cast<std::uint8_t>(w >> 8)) + HexByte(static_cast<std::uint8_t>(w & 0xFF));
}

std::string HexText(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() * 3);
  for (char c : bytes) out.append(HexByte(static_cast<std::uint8_t>(c))).push_back(' ');
  return out;
}

std::string NumberText(std::uint32_t number, int radix) {
  if (radix == 10) return std::to_string(number);
  char buf[16];
  std::snprintf(buf, sizeof buf, number < 256 ? "%02X" : "%04X", static_cast<unsigned>(number));
  std::string text(buf);
  if (radix == 16) text.push_back('h');
  return text;
}

std::string Dec3(std::uint8_t b) { return DecPadded(b, 3); }

std::string DecPadded(std::uint16_t w, int width) {
  std::string digits = std::to_string(w);
  if (static_cast<int>(digits.size()) < width)
    digits.insert(0, static_cast<std::size_t>(width) - digits.size(), '0');
  return digits;
}

std::string RealText(double value, int width, int decimals) {
  if (width <= 0 && decimals <= 0) return ScientificText(value);
  if (!std::isfinite(value)) return ScientificText(value);
  width = width < 0 ? 0 : (width > 255 ? 255 : width);
  decimals = decimals < 0 ? 0 : (decimals > 64 ? 64 : decimals);
  return Printf("%*.*f", width, decimals, AwayFromZeroOnTie(value, decimals));
}

std::string DisplayText(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    switch (static_cast<unsigned char>(c)) {
      case 0xDF: c = static_cast<char>(0xB0); break;
      case 0xFD: c = static_cast<char>(0xF7); break;
      case 0x7F: c = '<'; break;
      case 0x5C: c = static_cast<char>(0x87); break;
      case 0x7E: c = '>'; break;
      default: break;
    }
  }
  return out;
}

}  // namespace qz
