#include "channel_claims.h"

#include <algorithm>

namespace qz::tool {

namespace {

constexpr int kMaxChannel = 65535;

void Add(std::vector<ChannelClaim>& out, int station, std::string what, int first, int count) {
  if (first == 0 || count <= 0) return;  // channel 0: the item has no channel
  count = std::min(count, kMaxChannel - first + 1);
  out.push_back({station, std::move(what), first, count, 1});
}

void AddStatus(std::vector<ChannelClaim>& out, int n, const StationRecord& st, StatusChannel c, int count = 1) {
  Add(out, n, std::string("status ") + StatusChannelName(c), st.Status(c), count);
}

}  // namespace

std::vector<ChannelClaim> ClaimsOf(const DriverState& state) {
  std::vector<ChannelClaim> out;
  for (int n = 1; n <= state.Config.StationCount && n <= kMaxStations; ++n) {
    const StationRecord& st = state.Config.Station(n);
    Add(out, n, "binary inputs", st.ChannelBI, st.NumBinarIn);
    Add(out, n, "binary outputs", st.ChannelBO, st.NumBinarOut);
    Add(out, n, "analog inputs", st.ChannelAI, st.NumAnalogIn);
    Add(out, n, "counters", st.ChannelCT, st.NumCounterIn);
    Add(out, n, "memory outputs", st.ChannelMO, st.NumMemoryOut);
    Add(out, n, "memory inputs", st.ChannelMI, st.NumMemoryIn);
    for (StatusChannel c : {StatusChannel::ErrorNoAnswer, StatusChannel::MsgCounter, StatusChannel::ErrorInMess,
                            StatusChannel::SilenceTime, StatusChannel::SleepTime, StatusChannel::ErrCount}) {
      AddStatus(out, n, st, c);
    }
    AddStatus(out, n, st, StatusChannel::Video, 4);  // display lines 1..4
    for (int c = static_cast<int>(StatusChannel::out_read_AImorven); c <= static_cast<int>(StatusChannel::CallCode);
         ++c) {
      AddStatus(out, n, st, static_cast<StatusChannel>(c));
    }
    int b = 1;
    for (const MemoryBlock* block = st.MemoryBlocks.get(); block; block = block->Next.get(), ++b) {
      const std::string name = "memory block " + std::to_string(b);
      Add(out, n, name + " read", block->ChannelRead, 1);
      Add(out, n, name + " items", block->Channel, static_cast<int>(block->Types.size()));
    }
  }
  return out;
}

std::vector<ChannelConflict> FindConflicts(const std::vector<ChannelClaim>& claims) {
  std::vector<int> owner(kMaxChannel + 1, -1);
  std::vector<ChannelConflict> out;
  for (std::size_t i = 0; i < claims.size(); ++i) {
    const ChannelClaim& claim = claims[i];
    for (int k = 0; k < claim.Count; ++k) {
      const int channel = claim.First + k;
      const int winner = owner[static_cast<std::size_t>(channel)];
      if (winner < 0) {
        owner[static_cast<std::size_t>(channel)] = static_cast<int>(i);
        continue;
      }
      const ChannelClaim& w = claims[static_cast<std::size_t>(winner)];
      ChannelConflict* last = out.empty() ? nullptr : &out.back();
      // Channels in a row between the same two claims make one run.
      if (last && last->LastChannel + 1 == channel && last->Loser.What == claim.What &&
          last->Loser.Station == claim.Station && last->Winner.What == w.What &&
          last->Winner.Station == w.Station) {
        last->LastChannel = channel;
        continue;
      }
      ChannelConflict c{channel, channel, w, claim};
      c.Winner.FirstItem = channel - w.First + 1;
      c.Loser.FirstItem = k + 1;
      out.push_back(std::move(c));
    }
  }
  return out;
}

}  // namespace qz::tool
