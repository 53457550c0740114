#pragma once
// Replacing a whole file so that a crash at any moment leaves under its
// name either the old file or the new one, complete: the bytes go to a
// temporary file in the same folder (name + ".tmp"), are flushed to the
// disk, and the temporary file is renamed over the old one.
//
// The name itself is replaced: when it is a symbolic link, the link becomes
// the new file and whatever it pointed at is left untouched.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace qz {

enum class ReplaceStep : std::uint8_t {
  RemoveStaleTemporary,
  CreateTemporary,
  Write,  // one chunk
  Flush,
  Close,
  Rename,
  SyncFolder,
};

enum class ProbeAction : std::uint8_t {
  Continue,
  Crash,  // stop here as if the process died: its file is closed, nothing cleaned up
  Fail,   // the step fails as on a full disk
};

// Test seam: asked before every step.
using ReplaceProbe = std::function<ProbeAction(ReplaceStep step)>;

// Bytes written per Write step.
inline constexpr std::size_t kReplaceChunk = 64 * 1024;

struct ReplaceResult {
  bool Ok = false;
  std::string Error;       // what failed and why, when not Ok
  std::string LinkTarget;  // set when the name was a link that is now a file
  bool WasLink = false;
};

std::string TemporaryNameFor(const std::string& path);

// Writes bytes as the new content of path. When it fails the old file is as
// it was and the temporary file is gone.
ReplaceResult ReplaceFile(const std::string& path, std::string_view bytes, const ReplaceProbe& probe = {});

// Renames a file to the first free name of path + ".bad", path + ".1.bad",
// path + ".2.bad", ...; never over an existing file. Returns the new name,
// or empty with the reason in error.
std::string KeepFileAside(const std::string& path, std::string& error);

}  // namespace qz
