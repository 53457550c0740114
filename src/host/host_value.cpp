#include "host/host_value.h"

#include <cmath>
#include <cstring>
#include <limits>

namespace qz {

namespace {

void PutBytes(HostValue& v, std::uint64_t x, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) v.ValueBytes[i] = static_cast<std::uint8_t>(x >> (8 * i));
}

std::uint64_t GetBytes(const HostValue& v, std::size_t n) {
  std::uint64_t x = 0;
  for (std::size_t i = 0; i < n; ++i) x |= static_cast<std::uint64_t>(v.ValueBytes[i]) << (8 * i);
  return x;
}

}  // namespace

void PutU8(HostValue& v, std::uint8_t x) { v.ValueBytes[0] = x; }
void PutBool(HostValue& v, bool x) { PutU8(v, x ? 1 : 0); }

void PutU16(HostValue& v, std::uint16_t x) { PutBytes(v, x, 2); }
void PutU32(HostValue& v, std::uint32_t x) { PutBytes(v, x, 4); }

void PutSingle(HostValue& v, float x) {
  std::uint32_t bits = 0;
  std::memcpy(&bits, &x, sizeof bits);
  PutU32(v, bits);
}

void PutDouble(HostValue& v, double x) {
  std::uint64_t bits = 0;
  std::memcpy(&bits, &x, sizeof bits);
  PutBytes(v, bits, 8);
}

std::uint8_t GetU8(const HostValue& v) { return v.ValueBytes[0]; }
std::uint16_t GetU16(const HostValue& v) { return static_cast<std::uint16_t>(GetBytes(v, 2)); }
std::uint32_t GetU32(const HostValue& v) { return static_cast<std::uint32_t>(GetBytes(v, 4)); }

float GetSingle(const HostValue& v) {
  const std::uint32_t bits = GetU32(v);
  float x = 0;
  std::memcpy(&x, &bits, sizeof x);
  return x;
}

double GetDouble(const HostValue& v) {
  const std::uint64_t bits = GetBytes(v, 8);
  double x = 0;
  std::memcpy(&x, &bits, sizeof x);
  return x;
}

void PutText(const HostValue& v, std::string_view text, std::size_t size) {
  char* target = nullptr;
  std::memcpy(&target, v.ValueBytes, sizeof target);
  if (!target) return;
  const std::size_t n = text.size() < size ? text.size() : size;
  std::memcpy(target, text.data(), n);
  std::memset(target + n, 0, size - n);
}

std::int64_t TruncateToInt64(double x) {
  if (std::isnan(x)) return 0;
  const double t = std::trunc(x);
  if (t >= 9223372036854775807.0) return std::numeric_limits<std::int64_t>::max();
  if (t <= -9223372036854775808.0) return std::numeric_limits<std::int64_t>::min();
  return static_cast<std::int64_t>(t);
}

float ToSingle(double x) {
  constexpr double kMax = std::numeric_limits<float>::max();
  if (x > kMax) return std::numeric_limits<float>::infinity();
  if (x < -kMax) return -std::numeric_limits<float>::infinity();
  return static_cast<float>(x);
}

}  // namespace qz
