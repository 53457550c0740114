#pragma once
// Where the driver's files go on this platform.
//
// Windows keeps the paths as written ("C:\", the host executable's folder).
// POSIX builds map them: the root folder is QZ_ROOT or the current folder,
// HDB files go to QZ_HDB_DIR or the running executable's folder, and
// backslashes in paths from the parameter file read as slashes.

#include <string>
#include <string_view>

namespace qz {

// The folder that stands for "C:\", ending in a path separator.
std::string RootFolder();

// The folder of the host executable (HDB files), ending in a separator.
std::string HostExecutableFolder();

// A path from the parameter file or the host as this platform opens it.
std::string HostPath(std::string_view path);

}  // namespace qz
