#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include "history/file_ops.h"

namespace qz::file_ops {

namespace {

HANDLE Native(const File& file) { return reinterpret_cast<HANDLE>(file.Native); }

std::int32_t LastError() { return static_cast<std::int32_t>(GetLastError()); }

}  // namespace

std::int32_t DiskFullCode() { return ERROR_DISK_FULL; }

std::int32_t RemoveIfPresent(const std::string& path) {
  if (DeleteFileA(path.c_str())) return 0;
  const DWORD error = GetLastError();
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? 0 : static_cast<std::int32_t>(error);
}

std::int32_t CreateNew(const std::string& path, File& file) {
  // CREATE_NEW: a name that exists, a planted link among them, is refused.
  const HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return LastError();
  file.Native = reinterpret_cast<std::intptr_t>(h);
  return 0;
}

std::int32_t WriteAll(File& file, std::string_view bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const DWORD chunk = static_cast<DWORD>(bytes.size() - done);
    DWORD written = 0;
    if (!WriteFile(Native(file), bytes.data() + done, chunk, &written, nullptr)) return LastError();
    if (written == 0) return ERROR_WRITE_FAULT;
    done += written;
  }
  return 0;
}

std::int32_t Flush(File& file) { return FlushFileBuffers(Native(file)) ? 0 : LastError(); }

std::int32_t Close(File& file) {
  const HANDLE h = Native(file);
  file.Native = -1;
  return h == INVALID_HANDLE_VALUE || CloseHandle(h) ? 0 : LastError();
}

std::int32_t RenameOver(const std::string& from, const std::string& to) {
  return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) ? 0 : LastError();
}

std::int32_t RenameAside(const std::string& from, const std::string& to) {
  return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_WRITE_THROUGH) ? 0 : LastError();
}

void SyncFolderOf(const std::string&) {
  // MOVEFILE_WRITE_THROUGH has made the rename durable.
}

bool IsLink(const std::string& path, std::string& target) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) return false;
  target.clear();
  return true;
}

bool NameTaken(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

}  // namespace qz::file_ops
