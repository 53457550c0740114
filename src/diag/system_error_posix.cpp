#include <cstring>

#include "diag/system_error.h"

namespace qz {

namespace {

// strerror_r comes in two shapes; both leave a text somewhere.
[[maybe_unused]] const char* Text(int result, const char* buffer) { return result == 0 ? buffer : "unknown error"; }
[[maybe_unused]] const char* Text(const char* result, const char*) { return result ? result : "unknown error"; }

}  // namespace

std::string SystemErrorText(std::int32_t code) {
  char buffer[256] = {};
  const char* text = Text(::strerror_r(code, buffer, sizeof buffer), buffer);
  return std::string(text) + " (" + std::to_string(code) + ")";
}

}  // namespace qz
