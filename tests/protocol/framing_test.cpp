#include "protocol/framing.h"

#include <gtest/gtest.h>

#include <vector>

#include "protocol/frame_assembler.h"
#include "protocol_fixture.h"

namespace qz {
namespace {

using testing::Hex;
using testing::HexOf;

class Framing : public testing::ProtocolFixture {};

TEST_F(Framing, DirectRequestWithEmptyBody) {
  const ShortStr frame = FrameMessage(state.Config, Hex("00 00 59 00 05 00"), "");
  EXPECT_EQ(HexOf(frame), "00 05 59 00 05 00 59");
  EXPECT_TRUE(CheckFrame(frame));
  EXPECT_EQ(CheckByte(frame), 0);  // a message with its check XORs to zero
}

TEST_F(Framing, PrefixTrailerAndSuffixSurroundTheMessage) {
  state.Config.Prefix = Hex("FF 02");
  state.Config.PreSuffix = Hex("AA");
  state.Config.Suffix = Hex("03");
  const ShortStr frame = FrameMessage(state.Config, Hex("00 00 59 00 05 00"), "B\x01");
  // L counts length, kind, header rest, body and trailer: 1+1+3+2+1 = 8.
  EXPECT_EQ(HexOf(frame), "FF 02 00 08 59 00 05 00 42 01 AA " + HexOf(std::string(1, static_cast<char>(0x00 ^ 0x08 ^ 0x59 ^ 0x05 ^ 0x42 ^ 0x01 ^ 0xAA))) + " 03");
}

TEST_F(Framing, NothingLiesBeyond255Bytes) {
  const ShortStr full = FrameMessage(state.Config, Hex("00 00 59 00 05 00"), std::string(249, 'x'));
  EXPECT_EQ(full.size(), 255u);  // message of 255 bytes loses its check byte
  EXPECT_EQ(full.byte(1), 254);
  EXPECT_EQ(full.byte(254), 'x');
  state.Config.Prefix = std::string(10, 'P');
  state.Config.Suffix = "S";
  const ShortStr pushed = FrameMessage(state.Config, Hex("00 00 59 00 05 00"), std::string(240, 'x'));
  EXPECT_EQ(pushed.size(), 255u);
  EXPECT_NE(pushed.str().back(), 'S');
}

TEST_F(Framing, CheckFrameRejectsEmptyAndAlteredMessages) {
  EXPECT_FALSE(CheckFrame(""));
  EXPECT_TRUE(CheckFrame(Hex("00")));
  EXPECT_FALSE(CheckFrame(Hex("00 05 59 00 05 00 58")));
}

TEST_F(Framing, AcceptanceComparesTheKindUpperCased) {
  state.Config.MasterAddress = 7;
  EXPECT_TRUE(IsForThisMaster(state.Config, Hex("07 05 59")));
  EXPECT_FALSE(IsForThisMaster(state.Config, Hex("08 05 79")));  // "y" to another master
  EXPECT_TRUE(IsForThisMaster(state.Config, Hex("08 05 41")));   // "A": byte 1 is the sender
}

TEST_F(Framing, AcknowledgementOfAYMessageIsAyMessage) {
  state.Config.Prefix = Hex("02");
  state.Config.Suffix = Hex("03");
  state.Config.PreSuffix = Hex("AA");
  // r: to master 0, kind Y, bytes 4,5 = 01 02, sender 05, body "H", trailer AA.
  std::string r = Hex("00 06 59 01 02 05 48 AA");
  r.push_back(static_cast<char>(CheckByte(r)));
  const ShortStr ack = AcknowledgementFrame(state.Config, r);
  std::string m = Hex("01 07 79 00 05 00 48 AA");
  m.push_back(static_cast<char>(CheckByte(m)));
  EXPECT_EQ(HexOf(ack), "02 " + HexOf(m) + " 03");
}

TEST_F(Framing, AcknowledgementOfOtherMessagesEchoesThem) {
  state.Config.Prefix = Hex("02");
  state.Config.Suffix = Hex("03");
  const std::string r = Hex("05 02 48 4F");
  EXPECT_EQ(HexOf(AcknowledgementFrame(state.Config, r)), "02 05 02 48 4F 03");
  // "y" is not "Y": echoed as well.
  EXPECT_EQ(HexOf(AcknowledgementFrame(state.Config, Hex("00 02 79 7B"))), "02 00 02 79 7B 03");
}

class Assembler : public testing::ProtocolFixture {
 protected:
  Assembler() : assembler(state.Config, state.Log, window, buffer, [this](const ShortStr& m) { received.push_back(m.str()); }) {}

  static std::string Message(std::string m) {
    m[1] = static_cast<char>(m.size() - 1);
    m.push_back(static_cast<char>(CheckByte(m)));
    return m;
  }

  ShortStr window;
  ShortStr buffer;
  FrameAssembler assembler;
  std::vector<std::string> received;
};

TEST_F(Assembler, HuntsPastForeignBytesToThePrefix) {
  state.Config.Prefix = Hex("02");
  const std::string m = Message(Hex("05 00 42 01 81"));
  BufferInput in(Hex("55") + Hex("02") + m + Hex("03"));
  assembler.Drain(in);
  ASSERT_EQ(received.size(), 1u);
  EXPECT_EQ(received[0], m);
  EXPECT_EQ(assembler.Counters().Started, 1u);
  EXPECT_EQ(assembler.Counters().Accepted, 1u);
}

TEST_F(Assembler, TakesOneByteAtATimeWhileHuntingAndWaitsForTheWholeMessage) {
  state.Config.Prefix = Hex("FF 02");
  const std::string m = Message(Hex("05 00 42 01 81"));
  BufferInput in;
  in.Append(Hex("FF"));
  EXPECT_EQ(assembler.Step(in), ReceiveEvent::None);
  EXPECT_EQ(in.Waiting(), 0u);
  in.Append(Hex("02") + m.substr(0, 1));
  EXPECT_EQ(assembler.Step(in), ReceiveEvent::None);  // prefix matched, header not there yet
  in.Append(m.substr(1, 2));
  EXPECT_EQ(assembler.Step(in), ReceiveEvent::Started);
  EXPECT_EQ(buffer.size(), 2u);
  in.Append(m.substr(3));
  EXPECT_EQ(assembler.Step(in), ReceiveEvent::Accepted);
  EXPECT_TRUE(buffer.empty());
  EXPECT_TRUE(window.empty());
  ASSERT_EQ(received.size(), 1u);
  EXPECT_EQ(received[0], m);
}

TEST_F(Assembler, DropsBadChecksAndForeignMastersAndResynchronises) {
  state.Config.Prefix = Hex("02");
  state.Config.MasterAddress = 1;
  std::string bad = Message(Hex("05 00 42 01 81"));
  bad.back() = static_cast<char>(bad.back() ^ 0x10);
  const std::string foreign = Message(Hex("09 00 59 00 00 05 48"));
  const std::string ours = Message(Hex("01 00 79 00 00 05 48"));
  BufferInput in(Hex("02") + bad + Hex("02") + foreign + Hex("03 02") + ours);
  assembler.Drain(in);
  ASSERT_EQ(received.size(), 1u);
  EXPECT_EQ(received[0], ours);
  const FrameCounters& c = assembler.Counters();
  EXPECT_EQ(c.Started, 3u);
  EXPECT_EQ(c.Accepted, 1u);
  EXPECT_EQ(c.BadCheck, 1u);
  EXPECT_EQ(c.ForeignMaster, 1u);
}

TEST_F(Assembler, EmptyPrefixMatchesAtOnceAndAnOverlongMessageIsCut) {
  // L = 255: the whole message leaves the line but only 255 bytes are kept,
  // so the check byte is lost and the message is dropped.
  std::string m = Hex("05 FF") + std::string(255, 'x');
  BufferInput in(m + Message(Hex("05 00 42 01 81")));
  assembler.Drain(in);
  EXPECT_EQ(assembler.Counters().Started, 2u);
  EXPECT_EQ(assembler.Counters().BadCheck, 1u);
  ASSERT_EQ(received.size(), 1u);
  EXPECT_EQ(in.Waiting(), 0u);
}

}  // namespace
}  // namespace qz
