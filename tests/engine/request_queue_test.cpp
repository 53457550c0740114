// The request queues: duplicate rule, rotation, removal and QQ read merging.

#include <gtest/gtest.h>

#include <iterator>
#include <string>
#include <vector>

#include "engine/request_queue.h"

namespace qz {
namespace {

Request Make(std::uint8_t station, std::uint32_t kind, std::uint16_t item = 0, std::string data = {}) {
  Request r;
  r.Station = station;
  r.Kind = static_cast<RequestKind>(kind);
  r.Item = item;
  r.Data = data;
  return r;
}

Request Make(std::uint8_t station, RequestKind kind, std::uint16_t item = 0, std::string data = {}) {
  return Make(station, KindByte(kind), item, std::move(data));
}

Request QqRead(std::uint8_t station, std::uint8_t a, std::uint8_t b, std::uint8_t c) {
  return Make(station, RequestKind::QqRead, 0, std::string{static_cast<char>(a), static_cast<char>(b), static_cast<char>(c)});
}

std::vector<std::size_t> AddressCounts(const RequestQueue& q) {
  std::vector<std::size_t> out;
  for (const auto& r : q.Items()) out.push_back(r.Data.size() / 3);
  return out;
}

TEST(Insert, KeepsOneCopyOfARequestWaitingBehindTheHead) {
  RequestQueue q;
  EXPECT_TRUE(q.Insert(Make(1, 0)));
  EXPECT_TRUE(q.Insert(Make(3, 0)));
  EXPECT_FALSE(q.Insert(Make(3, 0)));
  EXPECT_EQ(q.Count(), 2u);
}

TEST(Insert, AppendsACopyOfTheHeadWhichMayBeOnTheLine) {
  RequestQueue q;
  q.Insert(Make(3, 0));
  EXPECT_TRUE(q.Insert(Make(3, 0)));
  EXPECT_EQ(q.Count(), 2u);
  EXPECT_FALSE(q.Insert(Make(3, 0))) << "now a copy waits behind the head";
}

TEST(Insert, AWaitingWriteTakesTheNewerValue) {
  RequestQueue q;
  q.Insert(Make(9, 0));
  EXPECT_TRUE(q.Insert(Make(2, RequestKind::QqWrite, 0, "\xBA\x01\x01" "AAAA")));
  EXPECT_TRUE(q.Insert(Make(2, RequestKind::QqWrite, 0, "\xBA\x01\x02" "AAAA"))) << "another variable";
  EXPECT_FALSE(q.Insert(Make(2, RequestKind::QqWrite, 0, "\xBA\x01\x01" "BBBB"))) << "the same variable";
  EXPECT_EQ(std::next(q.Items().begin())->Data.str(), "\xBA\x01\x01" "BBBB");
  EXPECT_TRUE(q.Insert(Make(2, RequestKind::QqRead, 0, "\xBA\x01\x01")));
  EXPECT_TRUE(q.Insert(Make(2, RequestKind::QqRead, 0, "\xBA\x01\x02"))) << "a read of other addresses";
  EXPECT_FALSE(q.Insert(Make(2, RequestKind::QqRead, 0, "\xBA\x01\x02")));
  EXPECT_TRUE(q.Insert(Make(2, 18, 7, "x")));
  EXPECT_FALSE(q.Insert(Make(2, 18, 7, "y")));
  EXPECT_EQ(q.Items().back().Data.str(), "y");
  EXPECT_TRUE(q.Insert(Make(2, 18, 8, "y")));
  EXPECT_EQ(q.Count(), 7u);
}

// A rotation never puts an older write behind a newer one of the same
// target: the older one, given up, is dropped.
TEST(Rotate, DropsAHeadThatANewerEqualRequestWaitsBehind) {
  RequestQueue q;
  q.Insert(Make(1, 18, 2, "old"));
  q.Insert(Make(1, 0));
  EXPECT_TRUE(q.Insert(Make(1, 18, 2, "new"))) << "a copy of the head, which may be on the line";
  q.Rotate();
  ASSERT_EQ(q.Count(), 2u);
  EXPECT_EQ(q.Head()->Kind, RequestKind::ReadBI);
  EXPECT_EQ(q.Items().back().Data.str(), "new");
  q.Rotate();
  q.Rotate();
  EXPECT_EQ(q.Count(), 2u) << "different requests still only rotate";
}

TEST(Insert, TheBlockTellsRequestsApart) {
  MemoryBlock* a = reinterpret_cast<MemoryBlock*>(0x1000);
  RequestQueue q;
  q.Insert(Make(9, 0));
  Request r = Make(1, 18);
  r.Block = a;
  EXPECT_TRUE(q.Insert(r));
  r.Block = nullptr;
  EXPECT_TRUE(q.Insert(r));
}

TEST(Rotate, MovesTheHeadBehindTheTail) {
  RequestQueue q;
  q.Insert(Make(1, 0));
  q.Rotate();
  EXPECT_EQ(q.Head()->Station, 1) << "a single request stays";
  q.Insert(Make(2, 0));
  q.Insert(Make(3, 0));
  q.Rotate();
  std::vector<int> order;
  for (const auto& r : q.Items()) order.push_back(r.Station);
  EXPECT_EQ(order, (std::vector<int>{2, 3, 1}));
}

TEST(Remove, HeadAndClearOnEmptyQueuesDoNothing) {
  RequestQueue q;
  q.RemoveHead();
  q.Clear();
  EXPECT_EQ(q.Head(), nullptr);
  q.Insert(Make(1, 0));
  q.Insert(Make(2, 0));
  q.RemoveHead();
  EXPECT_EQ(q.Head()->Station, 2);
}

TEST(History, RequestsOfKinds240To247AreFound) {
  RequestQueue q;
  q.Insert(Make(1, 239));
  q.Insert(Make(1, 248));
  EXPECT_FALSE(q.HasHistoryRequests());
  q.Insert(Make(1, 247, 0x8000));
  EXPECT_TRUE(q.HasHistoryRequests());
}

TEST(Compress, ThreeSingleReadsOfAStationBecomeOne) {
  RequestQueue q;
  q.Insert(QqRead(2, 0xBA, 1, 1));
  q.Insert(QqRead(2, 0xBA, 1, 2));
  q.Insert(QqRead(2, 0xBA, 1, 3));
  std::int32_t limit = 60;
  q.CompressQqReads(limit);
  ASSERT_EQ(q.Count(), 1u);
  EXPECT_EQ(q.Head()->Data, "\xBA\x01\x01\xBA\x01\x02\xBA\x01\x03");
}

TEST(Compress, ZeroAddressesAndOtherStationsStayApart) {
  RequestQueue q;
  q.Insert(QqRead(2, 0xBA, 1, 1));
  q.Insert(QqRead(2, 0, 0, 0));
  q.Insert(QqRead(2, 0xBA, 1, 2));
  q.Insert(QqRead(3, 0xBA, 1, 3));
  q.Insert(Make(3, 0));
  std::int32_t limit = 60;
  q.CompressQqReads(limit);
  EXPECT_EQ(AddressCounts(q), (std::vector<std::size_t>{1, 1, 1, 1, 0}));
}

TEST(Compress, SkipsOtherKindsToTheFirstQqRead) {
  RequestQueue q;
  q.Insert(Make(1, 0));
  q.Insert(Make(1, 1));
  q.Insert(QqRead(1, 1, 1, 1));
  q.Insert(QqRead(1, 1, 1, 2));
  std::int32_t limit = 60;
  q.CompressQqReads(limit);
  EXPECT_EQ(AddressCounts(q), (std::vector<std::size_t>{0, 0, 2}));
}

TEST(Compress, LongRunsAreCutAtALimitThatStepsThrough59To61) {
  RequestQueue q;
  for (int i = 1; i <= 200; ++i) q.Insert(QqRead(4, 0xBA, static_cast<std::uint8_t>(i >> 8), static_cast<std::uint8_t>(i)));
  std::int32_t limit = 60;
  q.CompressQqReads(limit);
  EXPECT_EQ(AddressCounts(q), (std::vector<std::size_t>{60, 61, 59, 20}));
  EXPECT_EQ(limit, 61) << "the limit carries on to the next call";
  std::int32_t wild = 1000;
  RequestQueue r;
  r.Insert(QqRead(4, 1, 1, 1));
  r.CompressQqReads(wild);
  EXPECT_EQ(wild, 61) << "a limit out of range restarts at 60";
}

TEST(Compress, MergedDataIsCutAt255Bytes) {
  RequestQueue q;
  Request big = Make(5, RequestKind::QqRead, 0, std::string(252, '\x01'));
  q.Insert(big);
  q.Insert(QqRead(5, 2, 2, 2));
  q.Insert(QqRead(5, 3, 3, 3));
  std::int32_t limit = 60;
  q.CompressQqReads(limit);
  ASSERT_GE(q.Count(), 1u);
  EXPECT_LE(q.Head()->Data.size(), 255u);
}

TEST(Received, KeepsAnswersInArrivalOrder) {
  ReceivedList list;
  EXPECT_EQ(list.Oldest(), nullptr);
  list.Add("first", "sent1");
  list.Add("second", "sent2");
  EXPECT_EQ(list.Oldest()->Answer, "first");
  EXPECT_EQ(list.Oldest()->SentFrame, "sent1");
  list.DropOldest();
  EXPECT_EQ(list.Oldest()->Answer, "second");
  list.DropOldest();
  list.DropOldest();
  EXPECT_EQ(list.Count(), 0u);
}

// The communication thread is woken when a request joins a queue, not when
// an equal one that waits takes its data.
TEST(RequestQueueWake, EachAppendedRequestWakesTheThread) {
  RequestQueue queue;
  int wakes = 0;
  queue.SetOnInsert([&] { ++wakes; });
  Request a;
  a.Station = 1;
  a.Kind = RequestKind::WriteBO;
  a.Item = 1;
  Request b = a;
  b.Item = 2;
  queue.Insert(a);
  queue.Insert(b);
  EXPECT_EQ(wakes, 2);
  b.Data = "\x01";
  EXPECT_FALSE(queue.Insert(b)) << "merged into the waiting one";
  EXPECT_EQ(wakes, 2);
  queue.Rotate();
  queue.RemoveHead();
  EXPECT_EQ(wakes, 2);
}

}  // namespace
}  // namespace qz
