#pragma once
// The harness's commands: what an operator types while the line runs.

#include <string>

#include "driver_api.h"
#include "scan.h"

namespace qzhost {

struct CommandResult {
  bool Quit = false;
  std::string Message;  // what happened, or why the command was refused
};

CommandResult RunCommand(const DriverApi& api, DriverHandle* h, const Layout& layout, const std::string& line);

}  // namespace qzhost
