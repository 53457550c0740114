#pragma once
// One thing the checker has to say about a parameter file.

#include <string>

namespace qz::tool {

struct Finding {
  int Line = 0;      // 1-based; 0 when no single line is at fault
  std::string Kind;  // a short tag for scripts: "unknown-keyword", "baud", ...
  std::string Text;  // UTF-8
};

}  // namespace qz::tool
