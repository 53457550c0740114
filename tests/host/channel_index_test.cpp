// Channel ownership: the walk over the stations with its quirks, and the
// index that must give the walk's answer for every channel.

#include <gtest/gtest.h>

#include <random>

#include "host/channel_index.h"
#include "host/driver_state.h"

namespace qz {
namespace {

class ChannelWalk : public ::testing::Test {
 protected:
  ChannelWalk() { InitDriverState(state); }

  StationRecord& Add() {
    state.Config.StationCount = static_cast<std::uint8_t>(state.Config.StationCount + 1);
    return state.Config.Station(state.Config.StationCount);
  }

  // The walk's answer, checked against the index built from the same state.
  StationChannel Find(std::uint16_t channel) {
    ChannelIndex index;
    index.Build(state);
    const StationChannel walked = FindStationChannel(state, channel);
    EXPECT_EQ(index.Find(channel), walked) << "channel " << channel;
    return walked;
  }

  DriverState state;
};

TEST_F(ChannelWalk, RangeClaimsStartToStartPlusCountMinusOne) {
  StationRecord& s = Add();
  s.ChannelBI = 100;
  s.NumBinarIn = 8;
  s.Status(StatusChannel::Video) = 1000;
  EXPECT_EQ(Find(100), (StationChannel{1, ItemKind::BinarIn, 1, nullptr}));
  EXPECT_EQ(Find(107), (StationChannel{1, ItemKind::BinarIn, 8, nullptr}));
  EXPECT_FALSE(Find(108));
  EXPECT_FALSE(Find(99));
}

TEST_F(ChannelWalk, LowerStationWinsASharedChannel) {
  StationRecord& a = Add();
  StationRecord& b = Add();
  a.ChannelAI = 50, a.NumAnalogIn = 4, a.Status(StatusChannel::Video) = 900;
  b.ChannelBI = 48, b.NumBinarIn = 8, b.Status(StatusChannel::Video) = 910;
  EXPECT_EQ(Find(50), (StationChannel{1, ItemKind::AnalogIn, 1, nullptr}));
  EXPECT_EQ(Find(49), (StationChannel{2, ItemKind::BinarIn, 2, nullptr}));
  EXPECT_EQ(Find(54), (StationChannel{2, ItemKind::BinarIn, 7, nullptr}));
}

TEST_F(ChannelWalk, MemoryOutputsBeforeMemoryInputsAndRangesBeforeStatus) {
  StationRecord& s = Add();
  s.ChannelMI = 10, s.NumMemoryIn = 5;
  s.ChannelMO = 12, s.NumMemoryOut = 2;
  s.Status(StatusChannel::ErrCount) = 11;
  s.Status(StatusChannel::Video) = 900;
  EXPECT_EQ(Find(12), (StationChannel{1, ItemKind::MemoryOut, 1, nullptr}));
  EXPECT_EQ(Find(11), (StationChannel{1, ItemKind::MemoryIn, 2, nullptr}));
  EXPECT_EQ(Find(14), (StationChannel{1, ItemKind::MemoryIn, 5, nullptr}));
}

TEST_F(ChannelWalk, UnsetVideoSpansZeroToThree) {
  // Station 1 has only analog inputs at 100: its display lines answer for
  // channels 1..3, and station 2 never gets channel 2.
  StationRecord& a = Add();
  a.ChannelAI = 100, a.NumAnalogIn = 4;
  StationRecord& b = Add();
  b.ChannelBI = 1, b.NumBinarIn = 8;
  EXPECT_EQ(Find(2), (StationChannel{1, ItemKind::Video, 3, nullptr}));
  EXPECT_EQ(Find(3), (StationChannel{1, ItemKind::Video, 4, nullptr}));
  EXPECT_EQ(Find(4), (StationChannel{2, ItemKind::BinarIn, 4, nullptr}));
}

TEST_F(ChannelWalk, RangeStartingAtZeroClaimsOneToCountMinusOne) {
  StationRecord& s = Add();
  s.ChannelCT = 0, s.NumCounterIn = 5;  // also 0: the other ranges have no count
  s.Status(StatusChannel::Video) = 900;
  EXPECT_EQ(Find(1), (StationChannel{1, ItemKind::Counter, 2, nullptr}));
  EXPECT_EQ(Find(4), (StationChannel{1, ItemKind::Counter, 5, nullptr}));
  EXPECT_FALSE(Find(5));
}

TEST_F(ChannelWalk, StatusChannelZeroNeverMatchesAndOrderIsFixed) {
  StationRecord& s = Add();
  s.Status(StatusChannel::Video) = 900;
  s.Status(StatusChannel::MsgCounter) = 20;
  s.Status(StatusChannel::ErrorNoAnswer) = 20;  // tested first
  s.Status(StatusChannel::CallCode) = 901;      // inside the display lines
  s.Status(StatusChannel::name_channel) = 30;
  EXPECT_EQ(Find(20), (StationChannel{1, ItemKind::Status, static_cast<int>(StatusChannel::ErrorNoAnswer), nullptr}));
  EXPECT_EQ(Find(901), (StationChannel{1, ItemKind::Video, 2, nullptr}));
  EXPECT_EQ(Find(30), (StationChannel{1, ItemKind::Status, static_cast<int>(StatusChannel::name_channel), nullptr}));
  EXPECT_FALSE(Find(0));
}

TEST_F(ChannelWalk, MemoryBlocksInListOrderReadChannelFirst) {
  StationRecord& s = Add();
  s.Status(StatusChannel::Video) = 900;
  MemoryBlock first;
  first.Channel = 200, first.ChannelRead = 201, first.Types = "\x01\x02\x03";
  MemoryBlock second;
  second.Channel = 199, second.ChannelRead = 300, second.Types = "\x06\x06\x06\x06";
  AppendMemoryBlock(s, first);
  AppendMemoryBlock(s, second);
  MemoryBlock* b1 = s.MemoryBlocks.get();
  MemoryBlock* b2 = b1->Next.get();
  EXPECT_EQ(Find(200), (StationChannel{1, ItemKind::BlockItem, 1, b1}));
  EXPECT_EQ(Find(201), (StationChannel{1, ItemKind::BlockRead, 1, b1}));
  EXPECT_EQ(Find(202), (StationChannel{1, ItemKind::BlockItem, 3, b1}));
  EXPECT_EQ(Find(199), (StationChannel{1, ItemKind::BlockItem, 1, b2}));
  EXPECT_EQ(Find(300), (StationChannel{1, ItemKind::BlockRead, 1, b2}));
}

TEST_F(ChannelWalk, RangesEndAtTheLastChannel) {
  StationRecord& s = Add();
  s.ChannelBO = 65530, s.NumBinarOut = 96;
  s.Status(StatusChannel::Video) = 65534;
  EXPECT_EQ(Find(65535), (StationChannel{1, ItemKind::BinarOut, 6, nullptr}));
  EXPECT_FALSE(Find(0));
}

// Random configurations that crowd a small span of channels, with starts
// at 0, unset display lines, shared channels and blocks.
class RandomConfig {
 public:
  explicit RandomConfig(unsigned seed) : rng_(seed) {}

  void Fill(DriverState& state) {
    state.Config.StationCount = static_cast<std::uint8_t>(Pick(1, 8));
    for (int n = 1; n <= state.Config.StationCount; ++n) FillStation(state.Config.Station(n));
  }

 private:
  int Pick(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }

  std::uint16_t Channel() {
    switch (Pick(0, 5)) {
      case 0: return 0;
      case 1: return static_cast<std::uint16_t>(Pick(1, 4));
      case 2: return static_cast<std::uint16_t>(Pick(65500, 65535));
      default: return static_cast<std::uint16_t>(Pick(0, 400));
    }
  }

  std::uint8_t Count(int limit) { return static_cast<std::uint8_t>(Pick(0, 3) == 0 ? 0 : Pick(1, limit)); }

  void FillStation(StationRecord& s) {
    s.ChannelBI = Channel(), s.NumBinarIn = Count(kMaxBinarIn);
    s.ChannelBO = Channel(), s.NumBinarOut = Count(kMaxBinarOut);
    s.ChannelAI = Channel(), s.NumAnalogIn = Count(kMaxAnalogIn);
    s.ChannelCT = Channel(), s.NumCounterIn = Count(kMaxCounterIn);
    s.ChannelMI = Channel(), s.NumMemoryIn = Count(kMaxMemoryIn);
    s.ChannelMO = Channel(), s.NumMemoryOut = Count(kMaxMemoryOut);
    for (auto& c : s.StatusChannels) c = Pick(0, 2) == 0 ? Channel() : std::uint16_t{0};
    FreeList(s.MemoryBlocks);
    for (int b = Pick(0, 3); b > 0; --b) {
      MemoryBlock block;
      block.Channel = Channel();
      block.ChannelRead = Channel();
      block.Types = std::string(static_cast<std::size_t>(Pick(0, 6)), '\x01');
      AppendMemoryBlock(s, block);
    }
  }

  std::mt19937 rng_;
};

TEST(ChannelIndex, GivesTheWalksAnswerForEveryChannel) {
  for (unsigned seed = 1; seed <= 40; ++seed) {
    DriverState state;
    InitDriverState(state);
    RandomConfig(seed).Fill(state);
    ChannelIndex index;
    index.Build(state);
    int mismatches = 0;
    for (int k = 0; k <= 65535; ++k) {
      const auto channel = static_cast<std::uint16_t>(k);
      if (index.Find(channel) != FindStationChannel(state, channel) && ++mismatches <= 3)
        ADD_FAILURE() << "seed " << seed << " channel " << k;
    }
    EXPECT_EQ(mismatches, 0) << "seed " << seed;
  }
}

TEST(ChannelIndex, FullOriginalChannelsFile) {
  DriverState state;
  InitDriverState(state);
  state.Config.StationCount = kMaxStations;
  for (int n = 1; n <= kMaxStations; ++n) {
    StationRecord& s = state.Config.Station(n);
    SetDefaultChannels(state.Config, n);
    s.NumBinarIn = kMaxBinarIn, s.NumBinarOut = kMaxBinarOut, s.NumAnalogIn = kMaxAnalogIn;
    s.NumCounterIn = kMaxCounterIn, s.NumMemoryIn = kMaxMemoryIn, s.NumMemoryOut = kMaxMemoryOut;
  }
  ChannelIndex index;
  index.Build(state);
  for (int k = 0; k <= 65535; k += 7) {
    const auto channel = static_cast<std::uint16_t>(k);
    ASSERT_EQ(index.Find(channel), FindStationChannel(state, channel)) << k;
  }
  EXPECT_EQ(index.Find(3001), (StationChannel{7, ItemKind::BinarIn, 1, nullptr}));
  EXPECT_EQ(index.Find(49981), (StationChannel{100, ItemKind::Status, static_cast<int>(StatusChannel::MsgCounter), nullptr}));
}

TEST(ChannelIndex, KnowsWhichKeysMayNameAQqVariable) {
  DriverState state;
  InitDriverState(state);
  state.Config.StationCount = 2;
  QqVariable q;
  q.Key = 4711;
  AppendQqVariable(state.Config.Station(2), q);
  ChannelIndex index;
  EXPECT_FALSE(index.Built());
  index.Build(state);
  EXPECT_TRUE(index.MayBeQqKey(4711));
  EXPECT_FALSE(index.MayBeQqKey(4712));
  index.Clear();
  EXPECT_FALSE(index.Built());
  EXPECT_FALSE(index.Find(1));
}

}  // namespace
}  // namespace qz
