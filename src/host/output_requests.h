#pragma once
// The host's writes: OutputRequest stores a value in a QQ variable, a
// driver-level field or a station record, queues the request that carries
// it to the station, or runs a command (sample and history read-outs, the
// sample file, line reset, modem connection). Runs under the instance lock.

#include <cstdint>

#include "qzdrk485.h"

struct DriverHandle;

namespace qz {

void OutputRequest(DriverHandle& h, std::uint32_t channel, const HostValue& value);

}  // namespace qz
