#pragma once
// The checker's output: what a loaded parameter file configures, as text
// for people or as JSON for scripts. Texts are converted to UTF-8.

#include <string>
#include <vector>

#include "channel_claims.h"
#include "config/driver_state.h"
#include "config/par_file.h"

namespace qz::tool {

struct CheckResult {
  std::string File;
  const DriverState* State = nullptr;
  const ParLoadReport* Report = nullptr;
  std::vector<ChannelConflict> Conflicts;
};

// Warnings: values the load ignored, a group that ended the stations,
// channels claimed twice.
std::vector<std::string> Warnings(const CheckResult& r);

std::string TextSummary(const CheckResult& r);
std::string JsonSummary(const CheckResult& r);

std::string TextError(const std::string& file, int line, const std::string& messageCp1250);
std::string JsonError(const std::string& file, int line, const std::string& messageCp1250);

}  // namespace qz::tool
