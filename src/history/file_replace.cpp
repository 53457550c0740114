#include "history/file_replace.h"

#include "diag/system_error.h"
#include "history/file_ops.h"

namespace qz {

namespace {

constexpr int kMaxAsideNames = 1000;

class Replacement {
 public:
  Replacement(const std::string& path, const ReplaceProbe& probe)
      : path_(path), temp_(TemporaryNameFor(path)), probe_(probe) {}

  ReplaceResult Run(std::string_view bytes);

 private:
  // Runs one step; false when it failed or the probe stopped the save.
  template <class Op>
  bool Do(ReplaceStep step, const char* what, const std::string& name, Op op);
  ReplaceResult Failed();

  const std::string& path_;
  const std::string temp_;
  const ReplaceProbe& probe_;
  file_ops::File file_;
  bool crashed_ = false;
  std::string error_;
};

template <class Op>
bool Replacement::Do(ReplaceStep step, const char* what, const std::string& name, Op op) {
  const ProbeAction action = probe_ ? probe_(step) : ProbeAction::Continue;
  if (action == ProbeAction::Crash) {
    crashed_ = true;
    error_ = "interrupted";
    return false;
  }
  const std::int32_t code = action == ProbeAction::Fail ? file_ops::DiskFullCode() : op();
  if (code == 0) return true;
  error_ = std::string(what) + " " + name + ": " + SystemErrorText(code);
  return false;
}

ReplaceResult Replacement::Failed() {
  ReplaceResult result;
  result.Error = error_;
  file_ops::Close(file_);  // as the system does for a process that died
  if (crashed_) return result;
  file_ops::RemoveIfPresent(temp_);  // the old file was never touched
  return result;
}

ReplaceResult Replacement::Run(std::string_view bytes) {
  ReplaceResult result;
  result.WasLink = file_ops::IsLink(path_, result.LinkTarget);
  // A temporary file left by a crash (or a name planted there) goes first.
  if (!Do(ReplaceStep::RemoveStaleTemporary, "remove", temp_, [&] { return file_ops::RemoveIfPresent(temp_); }))
    return Failed();
  if (!Do(ReplaceStep::CreateTemporary, "create", temp_, [&] { return file_ops::CreateNew(temp_, file_); }))
    return Failed();
  for (std::size_t at = 0; at < bytes.size(); at += kReplaceChunk) {
    const std::string_view chunk = bytes.substr(at, kReplaceChunk);
    if (!Do(ReplaceStep::Write, "write", temp_, [&] { return file_ops::WriteAll(file_, chunk); })) return Failed();
  }
  if (!Do(ReplaceStep::Flush, "flush", temp_, [&] { return file_ops::Flush(file_); })) return Failed();
  if (!Do(ReplaceStep::Close, "close", temp_, [&] { return file_ops::Close(file_); })) return Failed();
  if (!Do(ReplaceStep::Rename, "rename to", path_, [&] { return file_ops::RenameOver(temp_, path_); }))
    return Failed();
  // The new file is in place; a folder that cannot be synced changes nothing.
  Do(ReplaceStep::SyncFolder, "sync", path_, [&] {
    file_ops::SyncFolderOf(path_);
    return 0;
  });
  result.Ok = !crashed_;
  return result;
}

}  // namespace

std::string TemporaryNameFor(const std::string& path) { return path + ".tmp"; }

ReplaceResult ReplaceFile(const std::string& path, std::string_view bytes, const ReplaceProbe& probe) {
  return Replacement(path, probe).Run(bytes);
}

std::string KeepFileAside(const std::string& path, std::string& error) {
  std::int32_t code = 0;
  for (int n = 0; n < kMaxAsideNames; ++n) {
    const std::string aside = n == 0 ? path + ".bad" : path + "." + std::to_string(n) + ".bad";
    if (file_ops::NameTaken(aside)) continue;
    code = file_ops::RenameAside(path, aside);
    if (code == 0) return aside;
    if (file_ops::NameTaken(aside)) continue;  // taken in the meantime
    break;
  }
  error = code ? SystemErrorText(code) : "no free name";
  return {};
}

}  // namespace qz
