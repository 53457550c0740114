#pragma once
// The driver's exports as the harness calls them. The driver library is
// behind DriverHost; tests put a recorder in its place.

#include <cstdint>
#include <optional>
#include <string>

#include "qzdrk485.h"

namespace qzhost {

class HostCalls {
 public:
  virtual ~HostCalls() = default;
  virtual void Output(std::uint32_t channel, const HostValue& value) = 0;
  virtual void RequestInput(std::uint32_t channel) = 0;
  // GetInput with the type code; nothing when the driver wrote nothing.
  virtual std::optional<HostValue> Input(std::uint32_t channel, std::uint32_t type) = 0;
  // GetInput of a text channel (type 11) into a buffer of the harness.
  virtual std::optional<std::string> InputText(std::uint32_t channel) = 0;
  virtual void Window(std::uint32_t code) = 0;  // DriverProc
  // The status window as the window query gives it (Windows-1250).
  virtual std::string WindowText() = 0;
};

// A value record of the type code holding value (integers truncated).
HostValue MakeValue(std::uint32_t type, double value);
// The number a value record holds, read by its type code.
std::optional<double> ValueNumber(const HostValue& value);

}  // namespace qzhost
