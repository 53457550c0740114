#pragma once
// The checker's output: what a loaded parameter file configures, or the
// reader's first error, with the warnings, as text for people or as JSON
// for scripts. Texts are converted to UTF-8.

#include <string>
#include <string_view>

#include "check.h"

namespace qz::tool {

std::string TextSummary(const CheckOutcome& r);
std::string JsonSummary(const CheckOutcome& r);

// "FILE:LINE: message", then one "FILE:LINE: warning: ..." per warning.
std::string TextError(const CheckOutcome& r);
std::string JsonError(const CheckOutcome& r);

// The bytes as hex pairs separated by blanks ("10 02").
std::string HexBytes(std::string_view bytes);

}  // namespace qz::tool
