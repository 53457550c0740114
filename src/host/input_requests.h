#pragma once
// The host's reads: GetInput resolves a channel (QQ variable, driver-level
// channel, station item, driver statistics) and writes the value into the
// host's record when the record's type code is the one the channel has;
// InputRequest asks for a fresh reading of a QQ variable. Both run under
// the instance lock.

#include <cstdint>

#include "qzdrk485.h"

struct DriverHandle;

namespace qz {

struct DriverState;

void GetInput(DriverHandle& h, std::uint32_t channel, HostValue& value);

void InputRequest(DriverHandle& h, std::uint32_t channel);

// Registers and initialises the host's sample buffer (channel 65532 only).
void SetBufferAddr(DriverState& state, std::uint32_t channel, void* buffer);

}  // namespace qz
