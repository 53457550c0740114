#include "driver_api.h"

#include <dlfcn.h>

#include <vector>

namespace qzhost {

DriverApi::DriverApi(const std::string& path) {
  lib_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!lib_) {
    const char* why = dlerror();
    error_ = why ? why : "cannot load " + path;
    return;
  }
  Bind(Version, "Version");
  Bind(GetDriverInfo, "GetDriverInfo");
  Bind(QueryProc, "QueryProc");
  Bind(MakeDriver, "MakeDriver");
  Bind(Init, "Init");
  Bind(Done, "Done");
  Bind(DisposeDriver, "DisposeDriver");
  Bind(DriverProc, "DriverProc");
  Bind(BufferInfo, "BufferInfo");
  Bind(SetBufferAddr, "SetBufferAddr");
  Bind(InputRequest, "InputRequest");
  Bind(GetInput, "GetInput");
  Bind(OutputRequest, "OutputRequest");
}

DriverApi::~DriverApi() {
  if (lib_) dlclose(lib_);
}

template <class F>
void DriverApi::Bind(F& f, const char* name) {
  f = reinterpret_cast<F>(dlsym(lib_, name));
  if (!f && error_.empty()) error_ = std::string("the library has no export ") + name;
}

std::string DriverApi::WindowText(DriverHandle* h) const {
  std::vector<char> text(16384, '\0');
  QueryReply reply{static_cast<uint32_t>(text.size()), text.data()};
  QueryProc(h, 12, "GetWindow", nullptr, &reply);
  return std::string(text.data());
}

}  // namespace qzhost
