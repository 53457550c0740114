#include "protocol/request_encoding.h"

#include <gtest/gtest.h>

#include "host/driver_state.h"
#include "protocol/framing.h"
#include "protocol_fixture.h"

namespace qz {
namespace {

using testing::Hex;
using testing::HexOf;

class CodeMessTest : public testing::ProtocolFixture {
 protected:
  CodeMessTest() : st(AddStation(5)) {}

  // The body of the frame for kind/item: the bytes between the direct
  // header and the check byte.
  std::string Body(std::uint32_t kind, std::uint16_t item = 1, std::string data = {}, MemoryBlock* block = nullptr) {
    Request r;
    r.Station = 1;
    r.Kind = static_cast<RequestKind>(kind);
    r.Item = item;
    r.Data = data;
    r.Block = block;
    const ShortStr frame = CodeMess(state.Config, state.Log, r);
    if (frame.empty()) return "none";
    EXPECT_TRUE(CheckFrame(frame));
    return HexOf(frame.view().substr(6, frame.size() - 7));
  }

  StationRecord& st;
};

TEST_F(CodeMessTest, BinaryInputMasksOnlyCompleteGroups) {
  EXPECT_EQ(Body(0), "none");
  st.NumBinarIn = 64;
  EXPECT_EQ(Body(0), "42 FF");
  st.NumBinarIn = 12;
  EXPECT_EQ(Body(0), "42 01");
  st.NumBinarIn = 72;
  EXPECT_EQ(Body(0), "42 00");
}

TEST_F(CodeMessTest, AnalogAndCounterReads) {
  EXPECT_EQ(Body(1), "none");
  st.NumAnalogIn = 64;
  st.DefAnalogInAddr = 0x1000;
  EXPECT_EQ(Body(1), "4E 00 10 C0");
  EXPECT_EQ(Body(7), "41 FF");
  EXPECT_EQ(Body(2), "none");
  st.NumCounterIn = 48;
  EXPECT_EQ(Body(2), "43 3F");
  EXPECT_EQ(Body(3), "43 BF");
  st.NumCounterIn = 49;
  EXPECT_EQ(Body(3), "none");
}

TEST_F(CodeMessTest, BinaryOutputsCarryTheStoredStates) {
  st.NumBinarOut = 16;
  st.BinarOutValue[1] = 1;
  st.BinarOutValue[8] = 1;
  st.BinarOutValue[10] = 1;
  EXPECT_EQ(Body(4), "62 03 81 02");
  st.NumBinarOut = 96;
  st.BinarOutValue[96] = 1;
  EXPECT_EQ(Body(4), "62 00 81 02 00 00 00 00 00 00 00 00 00 80");
}

TEST_F(CodeMessTest, MemoryWritesLimitAndTruncateTheValue) {
  st.NumMemoryOut = 2;
  st.MemoryOut[1].Address = 0x1234;
  st.MemoryOut[1].Type = MemoryType::Byte;
  st.MemoryOut[1].Value = 300.7;
  EXPECT_EQ(Body(5, 1), "6E 34 12 01 FF");
  st.MemoryOut[1].Value = -3.0;
  EXPECT_EQ(Body(5, 1), "6E 34 12 01 00");
  st.MemoryOut[2].Address = 0x0010;
  st.MemoryOut[2].Type = MemoryType::Word;
  st.MemoryOut[2].Value = 1234.9;
  EXPECT_EQ(Body(5, 2), "6E 10 00 02 D2 04");
  st.MemoryOut[2].Type = MemoryType::Real;
  st.MemoryOut[2].Value = -2.5;
  EXPECT_EQ(Body(5, 2), "6E 10 00 03 C1 40 00");
  EXPECT_EQ(Body(5, 0), "none");
  EXPECT_EQ(Body(5, 101), "none");
}

TEST_F(CodeMessTest, MemoryInputReadsOneItemOrTheWholeTable) {
  EXPECT_EQ(Body(6), "none");
  st.NumMemoryIn = 3;
  st.MemoryIn[1].Address = 0x0100;
  st.MemoryIn[2].Address = 0x0200;
  st.MemoryIn[2].Type = MemoryType::Word;
  EXPECT_EQ(Body(6, 2), "4E 00 02 02");
  st.MemoryInArray = 1;
  EXPECT_EQ(Body(6, 2), "4E 00 01 09");
}

TEST_F(CodeMessTest, FixedAndDataCarryingKinds) {
  EXPECT_EQ(Body(8), "4B FF");
  st.MemoryOut[1].Value = 1.0;
  std::string allOut = "6B FF 40 00 00";
  for (int i = 2; i <= 8; ++i) allOut += " 00 00 00";
  EXPECT_EQ(Body(9), allOut);
  EXPECT_EQ(Body(15, 0, Hex("BA 01 05 64 00 00 00")), "51 51 BA 01 05 64 00 00 00");
  EXPECT_EQ(Body(16, 0, Hex("BA 01 0D")), "51 71 BA 01 0D");
  EXPECT_EQ(Body(72, 0x80BA), "51 4E 48 BA 80 BA");
  EXPECT_EQ(Body(144, 0x8000), "51 4E 90 00 80 BA");
  EXPECT_EQ(Body(240, 0x03E8, Hex("C0")), "51 4E F0 E8 03 C0");
  EXPECT_EQ(Body(247, 0xA0BC, Hex("64")), "51 4E F7 BC A0 64");
  EXPECT_EQ(Body(255), "62 01 FF");
  EXPECT_EQ(Body(11), "");
}

TEST_F(CodeMessTest, MemoryBlocksAddressTheirItems) {
  MemoryBlock block;
  block.Addr = 0x2000;
  block.ByteCount = 8;
  block.Types = Hex("01 06 04");
  EXPECT_EQ(Body(17, 0, {}, &block), "4E 00 20 08");
  EXPECT_EQ(Body(17), "none");
  EXPECT_EQ(Body(18, 3, Hex("11 22 33 44 55"), &block), "6E 04 20 04 11 22 33 44");
  EXPECT_EQ(Body(18, 1, Hex("11"), &block), "6E 00 20 01 11");
  EXPECT_EQ(Body(18, 3, Hex("11 22"), &block), "none");  // value shorter than the item
  EXPECT_EQ(Body(18, 4, Hex("11 22 33 44"), &block), "none");
  block.Types = Hex("01 09 04");
  EXPECT_EQ(Body(18, 3, Hex("11 22 33 44"), &block), "none");  // unknown type before the item
}

TEST_F(CodeMessTest, HeaderForms) {
  state.Config.MasterAddress = 1;
  st.Retranslation = 3;
  Request r;
  r.Station = 1;
  r.Kind = static_cast<RequestKind>(11);
  EXPECT_EQ(HexOf(CodeMess(state.Config, state.Log, r)), "03 05 59 01 05 01 5A");
  st.Phone = "123";
  EXPECT_EQ(HexOf(CodeMess(state.Config, state.Log, r).view().substr(0, 7)), "05 06 54 03 31 32 33");
  st.PhoneDial = 1;
  EXPECT_EQ(CodeMess(state.Config, state.Log, r).byte(2), 't');
}

TEST_F(CodeMessTest, UnknownStationsGiveNoFrame) {
  Request r;
  r.Kind = static_cast<RequestKind>(11);
  r.Station = 0;
  EXPECT_TRUE(CodeMess(state.Config, state.Log, r).empty());
  r.Station = 101;
  EXPECT_TRUE(CodeMess(state.Config, state.Log, r).empty());
}

}  // namespace
}  // namespace qz
