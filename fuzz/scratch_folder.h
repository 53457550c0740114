#pragma once
// The scratch folder of a fuzz target, removed when the process ends, as
// libFuzzer and the replay end it.

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

inline void RemoveAtExit(const std::string& folder) {
  static std::string removed;
  removed = folder;
  std::atexit([] {
    std::error_code ec;
    std::filesystem::remove_all(removed, ec);
  });
}
