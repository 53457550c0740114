#pragma once
// One check of a parameter file: the driver's own reader loads the bytes,
// a trace of the load gives every finding its line.

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "channel_claims.h"
#include "config/par_file.h"
#include "finding.h"
#include "host/driver_state.h"

namespace qz::tool {

struct CheckOutcome {
  std::string File;
  bool Loaded = false;
  std::string ErrorCp1250;  // the reader's first error when not loaded
  int ErrorLine = 0;        // 0: no line (the file could not be read)
  std::unique_ptr<DriverState> State;
  ParLoadReport Report;
  std::vector<ChannelConflict> Conflicts;  // of a loaded file
  std::vector<Finding> Warnings;           // in line order
};

CheckOutcome CheckText(const std::string& file, std::string_view bytes);
// Reads the file first; a file that cannot be read fails with the driver's message.
CheckOutcome CheckFile(const std::string& file);

}  // namespace qz::tool
