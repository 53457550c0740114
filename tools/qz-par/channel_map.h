#pragma once
// The host channels of a loaded parameter file, one row per channel, as a
// SCADA host imports them as tags: which station item the channel reaches,
// the host type code to use and whether the host reads or writes it.

#include <string>
#include <vector>

#include "host/driver_state.h"

namespace qz::tool {

struct ChannelRow {
  int Channel = 0;
  int Station = 0;
  std::string Kind;     // BI, BO, AI, CT, MI, MO, a status name, Video, QQ, block_read, block_item
  int Index = 0;        // item number within its kind (display line, QQ or block item)
  int TypeCode = 0;     // the host value type the channel is read or written with
  std::string Access;   // read, write, read-write, none
};

// Every channel a station item claims and every QQ key, in channel order;
// a channel is listed for the item the driver resolves it to.
std::vector<ChannelRow> ChannelMap(DriverState& state);

std::string ChannelCsv(const std::vector<ChannelRow>& rows);

}  // namespace qz::tool
