#pragma once
// The driver library as the SCADA host sees it: loaded by path (dlopen, or
// LoadLibrary on Windows), reached only through its exports.

#include <string>

#include "host_calls.h"
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

 private:
  template <class F>
  void Bind(F& f, const char* name);
  void* Symbol(const char* name) const;

  void* lib_ = nullptr;
  std::string error_;
};

// One driver instance's exports.
class DriverHost : public HostCalls {
 public:
  DriverHost(const DriverApi& api, DriverHandle* h) : api_(api), h_(h) {}

  void Output(std::uint32_t channel, const HostValue& value) override;
  void RequestInput(std::uint32_t channel) override;
  std::optional<HostValue> Input(std::uint32_t channel, std::uint32_t type) override;
  std::optional<std::string> InputText(std::uint32_t channel) override;
  void Window(std::uint32_t code) override;
  std::string WindowText() override;

 private:
  const DriverApi& api_;
  DriverHandle* h_;
};

}  // namespace qzhost
