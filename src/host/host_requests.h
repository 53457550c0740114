#pragma once
// What the host's requests keep between calls: the indirect write it
// prepares through driver-level channels and the block of on-demand reads.

#include <cstdint>

#include "config/real6.h"

namespace qz {

struct HostRequests {
  std::uint8_t OnDemandBlock = 0;  // non-zero: InputRequest queues nothing
  std::uint16_t HostWriteChannel = 1;
  Real6 HostWriteValue;
  std::uint8_t HostWritePending = 0;
};

}  // namespace qz
