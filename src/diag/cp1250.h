#pragma once
// Conversion between the driver's Windows-1250 texts and UTF-8, for tools
// that show them on a terminal and for tests that write expected texts.

#include <string>
#include <string_view>

namespace qz {

std::string Cp1250ToUtf8(std::string_view cp1250);

// Characters that Windows-1250 cannot hold become '?'.
std::string Utf8ToCp1250(std::string_view utf8);

}  // namespace qz
