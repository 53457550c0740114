#include "diag/paths.h"

#include <cstdlib>
#include <filesystem>

#ifdef _WIN32
#include <windows.h>
#endif

namespace qz {

namespace {

#ifndef _WIN32
std::string WithSeparator(std::string folder) {
  if (folder.empty() || folder.back() != '/') folder += '/';
  return folder;
}

std::string FromEnvironment(const char* name) {
  const char* value = std::getenv(name);
  return value && *value ? std::string(value) : std::string();
}
#endif

}  // namespace

std::string RootFolder() {
#ifdef _WIN32
  return "C:\\";
#else
  std::string root = FromEnvironment("QZ_ROOT");
  if (root.empty()) {
    std::error_code ec;
    root = std::filesystem::current_path(ec).string();
    if (ec) root = ".";
  }
  return WithSeparator(root);
#endif
}

std::string HostExecutableFolder() {
#ifdef _WIN32
  char buf[MAX_PATH];
  const DWORD n = GetModuleFileNameA(nullptr, buf, MAX_PATH);
  std::string path(buf, n < MAX_PATH ? n : 0);
  const auto cut = path.find_last_of("\\/");
  return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
#else
  std::string folder = FromEnvironment("QZ_HDB_DIR");
  if (folder.empty()) {
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    folder = ec ? std::string(".") : exe.parent_path().string();
  }
  return WithSeparator(folder);
#endif
}

std::string HostPath(std::string_view path) {
  std::string out(path);
#ifndef _WIN32
  for (char& c : out) {
    if (c == '\\') c = '/';
  }
#endif
  return out;
}

}  // namespace qz
