#pragma once
// What a host channel is on this line, resolved as the driver resolves it:
// a QQ variable, a driver-level value or command, a station item, or
// nothing. The commands refuse what the driver would ignore.

#include <cstdint>
#include <string>

#include "layout.h"

namespace qzhost {

inline constexpr long kMaxChannel = 65535;

struct ChannelInfo {
  bool Exists = false;
  std::string What;         // "BO 3 of station 1 (Pumping station North)"
  std::uint32_t WriteType = 0;  // the type code the driver takes on a write; 0: writes do nothing
  std::uint32_t ReadType = 0;   // the type code GetInput answers; 0: reads give nothing
  bool QqReadable = false;  // a QQ variable that an on-demand read (q) refreshes
};

ChannelInfo DescribeChannel(const Layout& layout, long channel);

// The host type code a block item of this type reads and writes with.
std::uint32_t BlockItemTypeCode(qz::BlockItemType type);

}  // namespace qzhost
