#pragma once
// Host channels that the loaded stations claim, in the order in which the
// driver resolves a channel: the first claim wins, a later claim of the
// same channel is dead.

#include <cstdint>
#include <string>
#include <vector>

#include "host/driver_state.h"

namespace qz::tool {

struct ChannelClaim {
  int Station = 0;
  std::string What;     // "binary inputs", "status ErrCount", "memory block 1 items"
  int First = 0;        // first host channel
  int Count = 0;        // channels claimed from First on
  int FirstItem = 1;    // item number at First
};

// Runs of channels claimed by a later item that an earlier one already has.
struct ChannelConflict {
  int FirstChannel = 0;
  int LastChannel = 0;
  ChannelClaim Winner;  // First/FirstItem describe the run's first channel
  ChannelClaim Loser;
};

// Every claim of stations 1..StationCount in resolution order.
std::vector<ChannelClaim> ClaimsOf(const DriverState& state);
std::vector<ChannelConflict> FindConflicts(const std::vector<ChannelClaim>& claims);

}  // namespace qz::tool
