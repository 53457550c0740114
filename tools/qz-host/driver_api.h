#pragma once
// The driver library as the SCADA host sees it: loaded by path, reached only
// through its exports.

#include <string>

#include "qzdrk485.h"

namespace qzhost {

class DriverApi {
 public:
  // Loads the library; error() tells why when ok() is false.
  explicit DriverApi(const std::string& path);
  ~DriverApi();
  DriverApi(const DriverApi&) = delete;
  DriverApi& operator=(const DriverApi&) = delete;

  bool ok() const { return error_.empty(); }
  const std::string& error() const { return error_; }

  decltype(&::Version) Version = nullptr;
  decltype(&::GetDriverInfo) GetDriverInfo = nullptr;
  decltype(&::QueryProc) QueryProc = nullptr;
  decltype(&::MakeDriver) MakeDriver = nullptr;
  decltype(&::Init) Init = nullptr;
  decltype(&::Done) Done = nullptr;
  decltype(&::DisposeDriver) DisposeDriver = nullptr;
  decltype(&::DriverProc) DriverProc = nullptr;
  decltype(&::BufferInfo) BufferInfo = nullptr;
  decltype(&::SetBufferAddr) SetBufferAddr = nullptr;
  decltype(&::InputRequest) InputRequest = nullptr;
  decltype(&::GetInput) GetInput = nullptr;
  decltype(&::OutputRequest) OutputRequest = nullptr;

  // The status window as the driver's window query gives it (Windows-1250).
  std::string WindowText(DriverHandle* h) const;

 private:
  template <class F>
  void Bind(F& f, const char* name);

  void* lib_ = nullptr;
  std::string error_;
};

}  // namespace qzhost
