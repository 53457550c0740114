#include "host_files.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sys/stat.h>

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace wt {

char PathSeparator() {
#ifdef _WIN32
  return '\\';
#else
  return '/';
#endif
}

std::string ExecutableFolder() {
  char path[4096] = {};
#ifdef _WIN32
  GetModuleFileNameA(nullptr, path, sizeof path - 1);
#else
  if (readlink("/proc/self/exe", path, sizeof path - 1) < 0) return ".";
#endif
  std::string folder(path);
  const std::size_t cut = folder.find_last_of(PathSeparator());
  return cut == std::string::npos ? "." : folder.substr(0, cut);
}

std::string LogFilePath(const std::string& name) {
#ifdef _WIN32
  return "C:\\QZDRK485_" + name + ".LOG";
#else
  const char* root = std::getenv("QZ_ROOT");
  return std::string(root && *root ? root : ".") + "/QZDRK485_" + name + ".LOG";
#endif
}

long long FileSize(const std::string& path) {
  struct stat info {};
  if (stat(path.c_str(), &info) != 0) return -1;
  return static_cast<long long>(info.st_size);
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void RemoveFile(const std::string& path) { std::remove(path.c_str()); }

}  // namespace wt
