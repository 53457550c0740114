#pragma once
// Channel lookups of the host's requests: through the instance's index once
// the parameter file is loaded, through the plain walk otherwise.

#include <cstdint>

#include "host/channel_index.h"
#include "host/driver_state.h"

struct DriverHandle;

namespace qz {

StationChannel ResolveChannel(DriverHandle& h, std::uint16_t channel);

// FindQqByKey, skipped when the index knows that no variable has the key.
QqMatch FindQqVariable(DriverHandle& h, std::uint16_t key);

// Builds the index of the loaded configuration.
void IndexChannels(DriverHandle& h);

}  // namespace qz
