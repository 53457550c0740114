#pragma once
// A reading as a terminal screen or as one JSON line.

#include <string>

#include "scan.h"

namespace qzhost {

std::string JsonLine(const Reading& r);
std::string Screen(const Reading& r);
std::string JsonString(const std::string& utf8);

}  // namespace qzhost
