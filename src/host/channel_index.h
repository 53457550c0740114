#pragma once
// Resolution of a host channel to the station item that claims it.
//
// FindStationChannel walks stations 1..StationCount and, within a station,
// its ranges and named channels in a fixed order; the first claim wins. The
// walk is the definition. ChannelIndex holds its result for every channel
// number, built once the parameter file is loaded (the configuration does
// not change afterwards), so the host's scans do not walk the stations.

#include <bitset>
#include <cstdint>
#include <vector>

#include "host/driver_state.h"

namespace qz {

enum class ItemKind : std::uint8_t {
  None = 0,
  BinarIn,
  BinarOut,
  AnalogIn,
  Counter,
  MemoryOut,
  MemoryIn,
  Status,     // Index: the StatusChannel
  Video,      // Index: display line 1..4
  BlockRead,  // Index 1
  BlockItem,  // Index: item 1..n of Block
};

struct StationChannel {
  int Station = 0;  // 0: no station claims the channel
  ItemKind Kind = ItemKind::None;
  int Index = 0;
  MemoryBlock* Block = nullptr;

  explicit operator bool() const { return Station != 0; }
  StatusChannel Status() const { return static_cast<StatusChannel>(Index); }
  friend bool operator==(const StationChannel&, const StationChannel&) = default;
};

// The walk over the stations, as the driver defines channel ownership.
StationChannel FindStationChannel(const DriverState& state, std::uint16_t channel);

class ChannelIndex {
 public:
  // Records the claim of every channel 0..65535 and the keys of the QQ
  // variables. The index refers to the state's memory blocks: rebuild or
  // clear it whenever the configuration is loaded again.
  void Build(const DriverState& state);
  void Clear();
  bool Built() const { return built_; }

  // Same result as FindStationChannel on the state it was built from.
  StationChannel Find(std::uint16_t channel) const;
  // False when no QQ variable has this key.
  bool MayBeQqKey(std::uint16_t key) const { return qqKeys_.test(key); }

 private:
  struct Entry {
    std::uint8_t Station = 0;
    ItemKind Kind = ItemKind::None;
    std::uint16_t Index = 0;
    std::uint32_t Block = 0;  // 1 + position in blocks_, 0 for none
  };

  void Claim(long first, long count, int station, ItemKind kind, std::uint32_t block, int firstIndex);

  bool built_ = false;
  std::vector<Entry> entries_;
  std::vector<MemoryBlock*> blocks_;
  std::bitset<65536> qqKeys_;
};

}  // namespace qz
