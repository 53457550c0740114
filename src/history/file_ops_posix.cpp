#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <vector>

#include "history/file_ops.h"

namespace qz::file_ops {

std::int32_t DiskFullCode() { return ENOSPC; }

std::int32_t RemoveIfPresent(const std::string& path) {
  if (::unlink(path.c_str()) == 0 || errno == ENOENT) return 0;
  return errno;
}

std::int32_t CreateNew(const std::string& path, File& file) {
  // O_EXCL: a name that exists, a planted link among them, is refused.
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) return errno;
  file.Native = fd;
  return 0;
}

std::int32_t WriteAll(File& file, std::string_view bytes) {
  const int fd = static_cast<int>(file.Native);
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return errno;
    if (n == 0) return EIO;
    done += static_cast<std::size_t>(n);
  }
  return 0;
}

std::int32_t Flush(File& file) { return ::fsync(static_cast<int>(file.Native)) == 0 ? 0 : errno; }

std::int32_t Close(File& file) {
  const int fd = static_cast<int>(file.Native);
  file.Native = -1;
  return fd < 0 || ::close(fd) == 0 ? 0 : errno;
}

std::int32_t RenameOver(const std::string& from, const std::string& to) {
  return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

std::int32_t RenameAside(const std::string& from, const std::string& to) {
  if (NameTaken(to)) return EEXIST;
  return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

void SyncFolderOf(const std::string& path) {
  const std::size_t cut = path.find_last_of('/');
  const std::string folder = cut == std::string::npos ? "." : cut == 0 ? "/" : path.substr(0, cut);
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);  // some file systems cannot; the rename itself has happened
  ::close(fd);
}

bool IsLink(const std::string& path, std::string& target) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return false;
  std::vector<char> buffer(4096);
  const ssize_t n = ::readlink(path.c_str(), buffer.data(), buffer.size());
  target.assign(buffer.data(), n > 0 ? static_cast<std::size_t>(n) : 0);
  return true;
}

bool NameTaken(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0;
}

}  // namespace qz::file_ops
