#pragma once
// A whole file in memory, with the reason when it cannot be read.

#include <optional>
#include <string>

namespace qz::readers {

// The file's bytes, or nothing with error set ("cannot open: ...").
std::optional<std::string> ReadFileBytes(const std::string& path, std::string& error);

}  // namespace qz::readers
