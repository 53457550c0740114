#include "driver_api.h"

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace wt {

namespace {

void* Symbol(void* library, const char* name) {
#ifdef _WIN32
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
#else
  return dlsym(library, name);
#endif
}

template <class Fn>
void Bind(void* library, Fn*& slot, const char* name, std::vector<std::string>& missing) {
  slot = reinterpret_cast<Fn*>(Symbol(library, name));
  if (!slot) missing.emplace_back(name);
}

}  // namespace

bool DriverApi::Load(const std::string& path, std::string& error) {
#ifdef _WIN32
  library_ = LoadLibraryA(path.c_str());
  if (!library_) error = "LoadLibrary failed, error " + std::to_string(GetLastError());
#else
  library_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!library_) error = dlerror();
#endif
  if (!library_) return false;
  missing_.clear();
  Bind(library_, Version, "Version", missing_);
  Bind(library_, Check, "Check", missing_);
  Bind(library_, GetDriverInfo, "GetDriverInfo", missing_);
  Bind(library_, QueryProc, "QueryProc", missing_);
  Bind(library_, MakeDriver, "MakeDriver", missing_);
  Bind(library_, Init, "Init", missing_);
  Bind(library_, Done, "Done", missing_);
  Bind(library_, DisposeDriver, "DisposeDriver", missing_);
  Bind(library_, DriverProc, "DriverProc", missing_);
  Bind(library_, BufferInfo, "BufferInfo", missing_);
  Bind(library_, SetBufferAddr, "SetBufferAddr", missing_);
  Bind(library_, InputRequest, "InputRequest", missing_);
  Bind(library_, InputRequestCompleted, "InputRequestCompleted", missing_);
  Bind(library_, InputFinalized, "InputFinalized", missing_);
  Bind(library_, GetInput, "GetInput", missing_);
  Bind(library_, OutputRequest, "OutputRequest", missing_);
  Bind(library_, OutputRequestCompleted, "OutputRequestCompleted", missing_);
  Bind(library_, OutputFinalized, "OutputFinalized", missing_);
  return true;
}

}  // namespace wt
