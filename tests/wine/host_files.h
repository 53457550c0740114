#pragma once
// Where the driver puts its files, as the host sees them: HDB files beside
// the host's executable, the log at C:\QZDRK485_<name>.LOG (on Linux in
// QZ_ROOT, or the current folder).

#include <string>

namespace wt {

std::string ExecutableFolder();
char PathSeparator();
std::string LogFilePath(const std::string& name);

// -1 when the file does not exist.
long long FileSize(const std::string& path);
// Empty when the file cannot be read.
std::string ReadFile(const std::string& path);
void RemoveFile(const std::string& path);

}  // namespace wt
