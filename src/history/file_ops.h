#pragma once
// The few file operations a safe replacement needs, one implementation per
// platform (file_ops_posix.cpp, file_ops_win32.cpp). Each returns 0 or the
// platform's error code (errno, GetLastError).

#include <cstdint>
#include <string>
#include <string_view>

namespace qz::file_ops {

// An open file: a descriptor on POSIX, a HANDLE on Windows; -1 when none.
struct File {
  std::intptr_t Native = -1;
};

// The code of a full disk, for tests that make a step fail.
std::int32_t DiskFullCode();

// Removes the file (a link itself, not its target); a missing one is no error.
std::int32_t RemoveIfPresent(const std::string& path);
// Creates a file that did not exist, for writing; never follows a link.
std::int32_t CreateNew(const std::string& path, File& file);
std::int32_t WriteAll(File& file, std::string_view bytes);
// Flushes the file's data to the disk.
std::int32_t Flush(File& file);
std::int32_t Close(File& file);
// Renames from over to, replacing to (a link itself, never its target).
std::int32_t RenameOver(const std::string& from, const std::string& to);
// Renames from to to only when to does not exist.
std::int32_t RenameAside(const std::string& from, const std::string& to);
// Makes a rename in the path's folder durable where the platform needs it.
void SyncFolderOf(const std::string& path);
// Whether the path names a symbolic link; its target when it does.
bool IsLink(const std::string& path, std::string& target);
// Whether anything (a file, a folder, a link, even a dangling one) has the name.
bool NameTaken(const std::string& path);

}  // namespace qz::file_ops
