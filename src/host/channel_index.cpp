#include "host/channel_index.h"

#include <array>

namespace qz {

namespace {

struct Range {
  long Start;
  long Count;
  ItemKind Kind;
};

// The six item ranges of a station in the order they are tested; the
// memory outputs come before the memory inputs.
std::array<Range, 6> ItemRanges(const StationRecord& s) {
  return {{{s.ChannelBI, s.NumBinarIn, ItemKind::BinarIn},
           {s.ChannelBO, s.NumBinarOut, ItemKind::BinarOut},
           {s.ChannelAI, s.NumAnalogIn, ItemKind::AnalogIn},
           {s.ChannelCT, s.NumCounterIn, ItemKind::Counter},
           {s.ChannelMO, s.NumMemoryOut, ItemKind::MemoryOut},
           {s.ChannelMI, s.NumMemoryIn, ItemKind::MemoryIn}}};
}

// The named channels tested before the display lines, then those after.
constexpr std::array<StatusChannel, 6> kFirstStatus = {
    StatusChannel::ErrorNoAnswer, StatusChannel::MsgCounter, StatusChannel::ErrorInMess,
    StatusChannel::SilenceTime,   StatusChannel::SleepTime,  StatusChannel::ErrCount};
constexpr int kAfterVideoFirst = static_cast<int>(StatusChannel::out_read_AImorven);
constexpr int kAfterVideoLast = static_cast<int>(StatusChannel::CallCode);
constexpr long kVideoLines = 4;

bool InRange(long channel, long start, long count) { return count > 0 && channel >= start && channel <= start + count - 1; }

long BlockItemCount(const MemoryBlock& b) { return static_cast<long>(b.Types.size()); }

StationChannel ClaimOf(const StationRecord& s, int n, long k) {
  for (const Range& r : ItemRanges(s)) {
    if (InRange(k, r.Start, r.Count)) return {n, r.Kind, static_cast<int>(k - r.Start + 1), nullptr};
  }
  for (StatusChannel c : kFirstStatus) {
    if (s.Status(c) != 0 && s.Status(c) == k) return {n, ItemKind::Status, static_cast<int>(c), nullptr};
  }
  // The display lines span four channels even when no channel was given.
  const long video = s.Status(StatusChannel::Video);
  if (InRange(k, video, kVideoLines)) return {n, ItemKind::Video, static_cast<int>(k - video + 1), nullptr};
  for (int c = kAfterVideoFirst; c <= kAfterVideoLast; ++c) {
    const auto channel = s.Status(static_cast<StatusChannel>(c));
    if (channel != 0 && channel == k) return {n, ItemKind::Status, c, nullptr};
  }
  for (MemoryBlock* b = s.MemoryBlocks.get(); b; b = b->Next.get()) {
    if (b->ChannelRead != 0 && b->ChannelRead == k) return {n, ItemKind::BlockRead, 1, b};
    if (InRange(k, b->Channel, BlockItemCount(*b))) return {n, ItemKind::BlockItem, static_cast<int>(k - b->Channel + 1), b};
  }
  return {};
}

}  // namespace

StationChannel FindStationChannel(const DriverState& state, std::uint16_t channel) {
  for (int n = 1; n <= state.Config.StationCount && n <= kMaxStations; ++n) {
    const auto& slot = state.Config.Stations[static_cast<std::size_t>(n)];
    if (!slot) continue;
    if (StationChannel found = ClaimOf(*slot, n, channel)) return found;
  }
  return {};
}

void ChannelIndex::Clear() {
  built_ = false;
  entries_.clear();
  blocks_.clear();
  qqKeys_.reset();
}

void ChannelIndex::Claim(long first, long count, int station, ItemKind kind, std::uint32_t block, int firstIndex) {
  if (count <= 0) return;
  const long from = first < 0 ? 0 : first;
  const long last = first + count - 1;
  const long to = last > 65535 ? 65535 : last;
  for (long c = from; c <= to; ++c) {
    Entry& e = entries_[static_cast<std::size_t>(c)];
    if (e.Station != 0) continue;  // an earlier claim wins
    e = {static_cast<std::uint8_t>(station), kind, static_cast<std::uint16_t>(firstIndex + (c - first)), block};
  }
}

void ChannelIndex::Build(const DriverState& state) {
  Clear();
  entries_.assign(65536, Entry{});
  for (int n = 1; n <= state.Config.StationCount && n <= kMaxStations; ++n) {
    const auto& slot = state.Config.Stations[static_cast<std::size_t>(n)];
    if (!slot) continue;
    const StationRecord& s = *slot;
    for (const Range& r : ItemRanges(s)) Claim(r.Start, r.Count, n, r.Kind, 0, 1);
    for (StatusChannel c : kFirstStatus) {
      if (s.Status(c) != 0) Claim(s.Status(c), 1, n, ItemKind::Status, 0, static_cast<int>(c));
    }
    Claim(s.Status(StatusChannel::Video), kVideoLines, n, ItemKind::Video, 0, 1);
    for (int c = kAfterVideoFirst; c <= kAfterVideoLast; ++c) {
      const auto channel = s.Status(static_cast<StatusChannel>(c));
      if (channel != 0) Claim(channel, 1, n, ItemKind::Status, 0, c);
    }
    for (MemoryBlock* b = s.MemoryBlocks.get(); b; b = b->Next.get()) {
      blocks_.push_back(b);
      const auto slotNumber = static_cast<std::uint32_t>(blocks_.size());
      if (b->ChannelRead != 0) Claim(b->ChannelRead, 1, n, ItemKind::BlockRead, slotNumber, 1);
      Claim(b->Channel, BlockItemCount(*b), n, ItemKind::BlockItem, slotNumber, 1);
    }
    for (const QqVariable* v = s.QqVariables.get(); v; v = v->Next.get()) qqKeys_.set(v->Key);
  }
  built_ = true;
}

StationChannel ChannelIndex::Find(std::uint16_t channel) const {
  if (!built_) return {};
  const Entry& e = entries_[channel];
  if (e.Station == 0) return {};
  MemoryBlock* block = e.Block != 0 ? blocks_[e.Block - 1u] : nullptr;
  return {e.Station, e.Kind, e.Index, block};
}

}  // namespace qz
