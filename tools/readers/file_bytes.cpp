#include "file_bytes.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

namespace qz::readers {

namespace {

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};

}  // namespace

std::optional<std::string> ReadFileBytes(const std::string& path, std::string& error) {
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
  if (!file) {
    error = std::string("cannot open: ") + std::strerror(errno);
    return std::nullopt;
  }
  std::string bytes;
  char buf[65536];
  std::size_t n = 0;
  while ((n = std::fread(buf, 1, sizeof buf, file.get())) > 0) bytes.append(buf, n);
  if (std::ferror(file.get())) {
    // A folder opens on Linux but does not read.
    error = std::string("cannot read: ") + std::strerror(errno ? errno : EIO);
    return std::nullopt;
  }
  return bytes;
}

}  // namespace qz::readers
