#pragma once
// The driver library loaded by path, as a host loads it; exports are looked
// up by name.

#include <dlfcn.h>

namespace qz::test {

class DriverLibrary {
 public:
  DriverLibrary() : lib_(dlopen(QZ_DRIVER_PATH, RTLD_NOW | RTLD_LOCAL)) {}
  ~DriverLibrary() {
    if (lib_) dlclose(lib_);
  }
  DriverLibrary(const DriverLibrary&) = delete;
  DriverLibrary& operator=(const DriverLibrary&) = delete;

  bool Loaded() const { return lib_ != nullptr; }
  template <class Fn>
  Fn* Get(const char* name) const {
    return reinterpret_cast<Fn*>(dlsym(lib_, name));
  }

 private:
  void* lib_;
};

}  // namespace qz::test
