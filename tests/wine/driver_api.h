#pragma once
// The driver's exports, looked up by name in a library loaded by path, as
// the SCADA host does it (LoadLibrary/GetProcAddress on Windows, dlopen on
// Linux, where the same host measures the native library).

#include <string>
#include <vector>

#include "qzdrk485.h"

namespace wt {

struct DriverApi {
  decltype(&::Version) Version = nullptr;
  decltype(&::Check) Check = nullptr;
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
  decltype(&::InputRequestCompleted) InputRequestCompleted = nullptr;
  decltype(&::InputFinalized) InputFinalized = nullptr;
  decltype(&::GetInput) GetInput = nullptr;
  decltype(&::OutputRequest) OutputRequest = nullptr;
  decltype(&::OutputRequestCompleted) OutputRequestCompleted = nullptr;
  decltype(&::OutputFinalized) OutputFinalized = nullptr;

  // Loads the library; false with the reason when it does not load.
  bool Load(const std::string& path, std::string& error);
  // The exports that were not found (empty when all 18 are there).
  std::vector<std::string> Missing() const { return missing_; }

 private:
  void* library_ = nullptr;
  std::vector<std::string> missing_;
};

}  // namespace wt
