#pragma once
// Reading a log that the driver is still writing: every call takes what
// has been appended since the last one. The driver opens and closes the file
// for every line, so a log removed or cut while it runs starts over.

#include <cstdint>
#include <string>
#include <vector>

#include "log_lines.h"

namespace qz::readers {

class LogFollower {
 public:
  explicit LogFollower(std::string path) : path_(std::move(path)) {}

  // The complete lines appended since the last call.
  std::vector<std::string> Poll();
  // The lines so far, counted from the start of the file.
  std::size_t LinesRead() const { return lines_; }

 private:
  std::string path_;
  std::uintmax_t offset_ = 0;
  std::size_t lines_ = 0;
  LineSplitter splitter_;
};

}  // namespace qz::readers
