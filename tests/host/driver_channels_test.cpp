// The driver-level channel table: each number is found in the entry that
// holds it, numbers between the entries are no driver channels, and the
// line's figures give way to the stations for reading only.

#include "host/driver_channels.h"

#include <gtest/gtest.h>

#include "host/host_value.h"

namespace qz {
namespace {

TEST(DriverChannels, EachNumberFindsTheEntryThatHoldsIt) {
  struct Case {
    std::uint32_t channel;
    bool listed;
    std::uint32_t first;
  };
  for (const Case& c : std::vector<Case>{{0, false, 0},
                                         {485, false, 0},
                                         {486, true, 486},
                                         {490, true, 488},
                                         {499, true, 497},
                                         {500, false, 0},
                                         {59999, false, 0},
                                         {60000, true, 60000},
                                         {60009, true, 60004},
                                         {60019, false, 0},
                                         {60291, true, 60100},
                                         {65421, true, 65416},
                                         {65422, false, 0},
                                         {65535, true, 65535},
                                         {65536, false, 0}}) {
    const DriverChannel* entry = FindDriverChannel(c.channel);
    ASSERT_EQ(entry != nullptr, c.listed) << c.channel;
    if (entry) {
      EXPECT_EQ(entry->First, c.first) << c.channel;
    }
  }
}

TEST(DriverChannels, OnlyTheLineFiguresLetStationsReadFirst) {
  for (std::uint32_t channel : {486u, 487u, 495u, 496u, 499u, 60000u, 65400u, 65535u}) {
    const DriverChannel* entry = FindDriverChannel(channel);
    ASSERT_NE(entry, nullptr) << channel;
    EXPECT_EQ(entry->Order == ReadOrder::AfterStations, channel < 500) << channel;
  }
}

TEST(DriverChannels, ReadOnlyAndWriteOnlyChannels) {
  EXPECT_EQ(FindDriverChannel(487)->Read, nullptr);      // written: the on-demand block
  EXPECT_NE(FindDriverChannel(487)->Write, nullptr);
  EXPECT_EQ(FindDriverChannel(65404)->Write, nullptr);   // the read-out's state is the driver's
  EXPECT_EQ(FindDriverChannel(65404)->ReadType, kTypeSmallInt);
  EXPECT_EQ(FindDriverChannel(65535)->WriteType, kAnyTypeCode);  // the indirect write runs on any type
}

}  // namespace
}  // namespace qz
