#include "host_calls.h"

#include <cstring>

namespace qzhost {

namespace {

template <class T>
void Put(HostValue& v, T x) {
  std::memcpy(v.ValueBytes, &x, sizeof x);
}

template <class T>
T Take(const HostValue& v) {
  T x{};
  std::memcpy(&x, v.ValueBytes, sizeof x);
  return x;
}

}  // namespace

HostValue MakeValue(std::uint32_t type, double value) {
  HostValue v{};
  v.TypeCode = type;
  const auto whole = static_cast<long long>(value);
  switch (type) {
    case 2:
    case 3:
    case 6: v.ValueBytes[0] = static_cast<std::uint8_t>(whole); break;
    case 4:
    case 7: Put(v, static_cast<std::uint16_t>(whole)); break;
    case 5:
    case 8: Put(v, static_cast<std::uint32_t>(whole)); break;
    case 9: Put(v, static_cast<float>(value)); break;
    default: Put(v, value); break;
  }
  return v;
}

std::optional<double> ValueNumber(const HostValue& v) {
  switch (v.TypeCode) {
    case 2:
    case 3: return v.ValueBytes[0];
    case 6: return static_cast<std::int8_t>(v.ValueBytes[0]);
    case 4: return Take<std::uint16_t>(v);
    case 7: return Take<std::int16_t>(v);
    case 5: return Take<std::uint32_t>(v);
    case 8: return Take<std::int32_t>(v);
    case 9: return Take<float>(v);
    case 10: return Take<double>(v);
    default: return std::nullopt;
  }
}

}  // namespace qzhost
