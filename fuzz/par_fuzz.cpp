// libFuzzer entry point: any bytes as a parameter file. The load must end
// with true or with a message, without a crash, leak or hang.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

#include "config/par_file.h"
#include "host/driver_state.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  auto state = std::make_unique<qz::DriverState>();
  qz::InitDriverState(*state);
  state->Config.ParFileName = "fuzz.par";
  qz::ParLoadReport report;
  report.DryRun = true;  // "$DIAGS" in an input must not write log files
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const bool loaded = qz::LoadParameterText(state->Config, state->Log, nullptr, text, &report);
  if (!loaded && state->Config.ParseErrorText.empty()) __builtin_trap();  // a failure always says why
  return 0;
}
