#include "host/channel_lookup.h"

#include "host/driver_handle.h"

namespace qz {

StationChannel ResolveChannel(DriverHandle& h, std::uint16_t channel) {
  if (h.Channels.Built()) return h.Channels.Find(channel);
  return FindStationChannel(*h.State, channel);
}

QqMatch FindQqVariable(DriverHandle& h, std::uint16_t key) {
  if (h.Channels.Built() && !h.Channels.MayBeQqKey(key)) return {};
  return FindQqByKey(h.State->Config, key);
}

void IndexChannels(DriverHandle& h) { h.Channels.Build(*h.State); }

}  // namespace qz
