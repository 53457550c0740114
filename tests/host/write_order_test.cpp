// Every kind of write the host makes reaches its station with the value
// written last: three values are written while the station is silent, then
// it answers again, and the line has carried the last value last and no
// older value after it. The host's writes go through OutputRequest; the
// transaction machine runs on an in-memory line with a hand-moved clock.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "engine/cycle.h"
#include "host/answer_handling.h"
#include "host_fixture.h"
#include "protocol/codecs.h"
#include "protocol/framing.h"
#include "support/fake_clock.h"
#include "support/memory_line.h"

namespace qz::test {
namespace {

constexpr std::uint8_t kAddress = 7;
constexpr std::size_t kPrefixSize = 2;  // 10 02 of the test [GLOBAL]
constexpr std::size_t kSuffixSize = 2;  // 10 03
constexpr std::size_t kDirectHeader = 6;

class WriteOrder;

struct WriteCase {
  const char* name;
  char code;  // the body code of the write's frames
  std::function<void(WriteOrder&, int step)> write;  // step 0, 1, 2: values A, B, C
  std::function<std::string(std::string_view body)> value;  // the value a frame carries
  std::array<std::string, 3> values;  // A, B, C as the frames carry them
  friend void PrintTo(const WriteCase& c, std::ostream* os) { *os << c.name; }
};

std::string Float24Bytes(double x) {
  const Float24 f = EncodeFloat24(x);
  return std::string(f.begin(), f.end());
}

std::string LowFirst(std::uint32_t v, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out.push_back(static_cast<char>(v >> (8 * i)));
  return out;
}

class WriteOrder : public HostData, public ::testing::WithParamInterface<WriteCase> {
 public:
  void SetUp() override {
    Load(With(StationGroup("ST1", kAddress,
                           "  ORIGINAL_CHANNELS\r\n"
                           "  MEMORY_BLOCK ADDR 300 CHANNEL 3000 CHANNEL_READ 2999 TYPES BYTE OUTPUT WORD OUTPUT TYPES_END "
                           "MEMORY_BLOCK_END\r\n"
                           "  QQ WRITE 4002 1 2 9 LONGINT\r\n"),
              "DEF_MEMORY_OUT NONE", "DEF_MEMORY_OUT 1 $0400 REAL 2 $0403 REAL 3 $0406 REAL DEF_MEMORY_END"));
    DriverState& s = S();
    s.Config.SelfReading = 0;
    s.Config.AnswerTime = 1.0;
    s.Config.RtsTimeOn = 0;
    s.Config.RtsTimeOff = 0;
    s.Config.SilenceWait = 0;
    s.Config.SleepTime = 0.0;  // the silent station is asked again and again
    s.Engine.LastTimeOfDay = TimeOfDayCs(clock);
    s.Engine.LastCycleStart = DateTimeValue(clock.Now());
  }

  void Put(std::uint32_t channel, std::uint32_t type, double x) { HostData::Put(channel, type, x); }
  DriverState& State() { return S(); }
  std::uint32_t StatusChannelOf(StatusChannel c) { return St(1).Status(c); }

  // Runs the line for ms of fake time as the thread runs it: a cycle, then
  // the clock jumps to the time the cycle asked for, unless the station's
  // answer wakes it first.
  void RunFor(int ms) {
    const std::int64_t end = clock.SteadyMs() + ms;
    int atOnce = 0;
    while (clock.SteadyMs() < end) {
      const StepResult next = cycle.Run(true);
      TakeFrames();
      const std::int64_t now = clock.SteadyMs();
      if (next.WantBytes > 0 && line.RxWaiting() >= next.WantBytes) continue;
      std::int64_t at = next.At ? std::min(*next.At, end) : end;
      // A machine that asks for the same moment again and again is stuck.
      if (at <= now && ++atOnce > 50) ADD_FAILURE() << "no progress", at = end;
      if (at > now) atOnce = 0;
      clock.AdvanceMs(std::max<std::int64_t>(at - now, 0));
    }
  }

  // The bodies of the requests the line carried, in order.
  std::vector<std::string> bodies;
  bool answering = false;

 private:
  // Splits what the driver wrote into frames; the station, when it
  // answers, echoes each write as the stations do.
  void TakeFrames() {
    written_ += line.Take();
    for (;;) {
      if (written_.size() < kPrefixSize + 2) return;
      const std::size_t messageAndCheck = static_cast<std::uint8_t>(written_[kPrefixSize + 1]) + 2u;
      const std::size_t frameSize = kPrefixSize + messageAndCheck + kSuffixSize;
      if (written_.size() < frameSize) return;
      const std::string message = written_.substr(kPrefixSize, messageAndCheck - 1);
      written_.erase(0, frameSize);
      if (message.size() <= kDirectHeader || message[2] != 'Y') continue;
      const std::string body = message.substr(kDirectHeader);
      bodies.push_back(body);
      if (!answering) continue;
      const std::string header{1, 0, 'Y', 0, 1, static_cast<char>(kAddress)};
      line.Receive(FrameMessage(S().Config, header, body).view());
    }
  }

  FakeClock clock{LocalDateTime{2026, 12, 10, 12, 0, 0, 0}};
  MemoryLine line;
  EngineIo io{line, clock, [](std::string_view) {}, {}, {}};
  CommunicationCycle cycle{EngineRecordsOf(S()), io,
                           [this](const ReceivedEntry& entry) {
                             return DecodeAnswer(S(), entry.Answer.view(), entry.SentFrame.view(), entry.Values);
                           },
                           {}};
  std::string written_;
};

TEST_P(WriteOrder, TheStationEndsWithTheLastValueAndNoOlderOneFollowsIt) {
  const WriteCase& c = GetParam();
  for (int step = 0; step < 3; ++step) {
    c.write(*this, step);
    RunFor(1500);  // the station is silent: the write goes out and times out
  }
  answering = true;
  RunFor(3000);
  EXPECT_TRUE(State().Engine.WriteQueue.Empty());

  std::vector<std::string> carried;
  for (const std::string& body : bodies) {
    if (body[0] == c.code) carried.push_back(c.value(body));
  }
  ASSERT_FALSE(carried.empty());
  EXPECT_EQ(carried.back(), c.values[2]) << "the last value goes out last";
  const auto newest = std::find(carried.begin(), carried.end(), c.values[2]);
  EXPECT_TRUE(std::all_of(newest, carried.end(), [&](const std::string& v) { return v == c.values[2]; }))
      << "no older value after the newest";
}

std::string Bytes(std::string_view body, std::size_t from, std::size_t n) { return std::string(body.substr(from, n)); }

INSTANTIATE_TEST_SUITE_P(
    Kinds, WriteOrder,
    ::testing::Values(
        // Outputs 1, 2 and 3 switched on one after the other: one write of
        // the output byte.
        WriteCase{"BinaryOutputs", 'b',
                  [](WriteOrder& w, int step) { w.Put(97u + static_cast<std::uint32_t>(step), kTypeBool, 1); },
                  [](std::string_view body) { return Bytes(body, 2, 1); },
                  {"\x01", "\x03", "\x07"}},
        // Channel 306 is memory output 2.
        WriteCase{"MemoryOutput", 'n',
                  [](WriteOrder& w, int step) { w.Put(306, kTypeDouble, 1.5 + step); },
                  [](std::string_view body) { return Bytes(body, 4, 3); },
                  {Float24Bytes(1.5), Float24Bytes(2.5), Float24Bytes(3.5)}},
        WriteCase{"MemoryOutputsCommand", 'k',
                  [](WriteOrder& w, int step) {
                    w.Put(306, kTypeDouble, 1.5 + step);
                    w.Put(w.StatusChannelOf(StatusChannel::out_write_KO), kTypeBool, 1);
                  },
                  [](std::string_view body) { return Bytes(body, 5, 3); },  // memory output 2
                  {Float24Bytes(1.5), Float24Bytes(2.5), Float24Bytes(3.5)}},
        WriteCase{"BlockItem", 'n',
                  [](WriteOrder& w, int step) { w.Put(3001, kTypeWord, 111.0 * (step + 1)); },
                  [](std::string_view body) { return Bytes(body, 4, 2); },
                  {LowFirst(111, 2), LowFirst(222, 2), LowFirst(333, 2)}},
        WriteCase{"QqVariable", 'Q',
                  [](WriteOrder& w, int step) { w.Put(4002, kTypeLongInt, 101.0 * (step + 1)); },
                  [](std::string_view body) { return Bytes(body, 5, 4); },
                  {LowFirst(101, 4), LowFirst(202, 4), LowFirst(303, 4)}},
        WriteCase{"HistoryUserPosition", 'Q',
                  [](WriteOrder& w, int step) {
                    HistoryQuery q = w.State().History.Query;
                    q.HistoryStation = 1;
                    q.HistoryUser = 1;
                    w.State().Engine.WriteQueue.Insert(UserPositionWrite(q, 101 * (step + 1)));
                  },
                  [](std::string_view body) { return Bytes(body, 5, 4); },
                  {LowFirst(101, 4), LowFirst(202, 4), LowFirst(303, 4)}}),
    [](const auto& p) { return std::string(p.param.name); });

}  // namespace
}  // namespace qz::test
