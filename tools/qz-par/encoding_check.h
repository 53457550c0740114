#pragma once
// The parameter file is Windows-1250 text. A file saved as UTF-8 loads,
// but every Czech letter becomes two wrong characters in names and texts.

#include <string_view>
#include <vector>

#include "finding.h"

namespace qz::tool {

// One finding per line that holds UTF-8 sequences, bytes that Windows-1250
// does not define, or control characters other than TAB, CR and LF.
std::vector<Finding> EncodingFindings(std::string_view bytes);

}  // namespace qz::tool
