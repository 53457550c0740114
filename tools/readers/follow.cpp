#include "follow.h"

#include <filesystem>
#include <fstream>

namespace qz::readers {

std::vector<std::string> LogFollower::Poll() {
  std::error_code ec;
  const std::uintmax_t size = std::filesystem::file_size(path_, ec);
  if (ec) return {};  // not there (yet, or removed): wait for it
  if (size < offset_) {
    offset_ = 0;  // a new file under the same name
    lines_ = 0;
    splitter_ = LineSplitter();
  }
  if (size > offset_) {
    std::ifstream in(path_, std::ios::binary);
    in.seekg(static_cast<std::streamoff>(offset_));
    std::string bytes(static_cast<std::size_t>(size - offset_), '\0');
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    offset_ += bytes.size();
    splitter_.Feed(bytes);
  }
  std::vector<std::string> lines = splitter_.Take();
  lines_ += lines.size();
  return lines;
}

}  // namespace qz::readers
