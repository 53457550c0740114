#include "driver_api.h"

#include <cstring>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include "host/window_query.h"

namespace qzhost {

namespace {

// Bytes of the record that the type code fills.
std::size_t ValueSize(std::uint32_t type) {
  switch (type) {
    case 2:
    case 3:
    case 6: return 1;
    case 4:
    case 7: return 2;
    case 5:
    case 8:
    case 9: return 4;
    default: return 8;
  }
}

bool Untouched(const HostValue& v, std::uint8_t fill) {
  for (std::size_t i = 0; i < ValueSize(v.TypeCode); ++i) {
    if (v.ValueBytes[i] != fill) return false;
  }
  return true;
}

}  // namespace

DriverApi::DriverApi(const std::string& path) {
#ifdef _WIN32
  lib_ = reinterpret_cast<void*>(LoadLibraryA(path.c_str()));
  if (!lib_) {
    error_ = "cannot load " + path + " (error " + std::to_string(GetLastError()) + ")";
    return;
  }
#else
  lib_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!lib_) {
    const char* why = dlerror();
    error_ = why ? why : "cannot load " + path;
    return;
  }
#endif
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
  if (!lib_) return;
#ifdef _WIN32
  FreeLibrary(reinterpret_cast<HMODULE>(lib_));
#else
  dlclose(lib_);
#endif
}

void* DriverApi::Symbol(const char* name) const {
#ifdef _WIN32
  return reinterpret_cast<void*>(GetProcAddress(reinterpret_cast<HMODULE>(lib_), name));
#else
  return dlsym(lib_, name);
#endif
}

template <class F>
void DriverApi::Bind(F& f, const char* name) {
  f = reinterpret_cast<F>(Symbol(name));
  if (!f && error_.empty()) error_ = std::string("the library has no export ") + name;
}

void DriverHost::Output(std::uint32_t channel, const HostValue& value) { api_.OutputRequest(h_, channel, value); }

void DriverHost::RequestInput(std::uint32_t channel) { api_.InputRequest(h_, channel); }

std::optional<HostValue> DriverHost::Input(std::uint32_t channel, std::uint32_t type) {
  // A record the driver does not write keeps its bytes: two fills tell a
  // value that happens to equal the first fill from no value at all.
  for (const std::uint8_t fill : {std::uint8_t{0xA5}, std::uint8_t{0x5A}}) {
    HostValue v{};
    v.TypeCode = type;
    std::memset(v.ValueBytes, fill, sizeof v.ValueBytes);
    api_.GetInput(h_, channel, &v);
    if (!Untouched(v, fill)) return v;
  }
  return std::nullopt;
}

std::optional<std::string> DriverHost::InputText(std::uint32_t channel) {
  std::vector<char> text(512, '\0');
  HostValue v{};
  v.TypeCode = 11;
  char* address = text.data();
  std::memcpy(v.ValueBytes, &address, sizeof address);
  api_.GetInput(h_, channel, &v);
  if (text[0] == '\0') return std::nullopt;
  return std::string(text.data());
}

void DriverHost::Window(std::uint32_t code) { api_.DriverProc(h_, code, 0, 0, 0, 0); }

std::string DriverHost::WindowText() {
  std::vector<char> text(16384, '\0');
  QueryReply reply{static_cast<std::uint32_t>(text.size()), text.data()};
  api_.QueryProc(h_, qz::kQueryWindow, "GetWindow", nullptr, &reply);
  return std::string(text.data());
}

}  // namespace qzhost
