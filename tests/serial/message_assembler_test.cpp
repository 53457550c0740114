#include "serial/message_assembler.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qz {
namespace {

struct AssemblyCase {
  const char* Name;
  std::uint16_t AppendCount;
  std::string Bytes;
  std::vector<std::string> Messages;
};

std::vector<std::string> Assemble(const AssemblyCase& c) {
  MessageAssembler assembler;
  const MessageAssembler::Framing framing{'\x02', '\x03', c.AppendCount};
  std::vector<std::string> messages;
  for (char b : c.Bytes)
    if (auto m = assembler.Feed(b, framing)) messages.push_back(*m);
  return messages;
}

class MessageAssemblerTest : public ::testing::TestWithParam<AssemblyCase> {};

TEST_P(MessageAssemblerTest, FramesMessages) { EXPECT_EQ(Assemble(GetParam()), GetParam().Messages); }

INSTANTIATE_TEST_SUITE_P(
    Cases, MessageAssemblerTest,
    ::testing::Values(
        AssemblyCase{"NoiseBeforeStartIsDropped", 1, "X\x02" "A\x03" "K", {"\x02" "A\x03" "K"}},
        AssemblyCase{"EndWithoutStartIsDropped", 1, "X\x02" "A\x03" "K\x03", {"\x02" "A\x03" "K"}},
        AssemblyCase{"NoTrailer", 0, "\x02" "AB\x03" "\x02" "C\x03", {"\x02" "AB\x03", "\x02" "C\x03"}},
        AssemblyCase{"TrailerTakesFramingBytesAsData", 2, "\x02" "A\x03\x02\x03", {"\x02" "A\x03\x02\x03"}},
        AssemblyCase{"StartRestartsTheMessage", 0, "\x02" "AB\x02" "C\x03", {"\x02" "C\x03"}},
        AssemblyCase{"UnfinishedMessageGivesNothing", 1, "\x02" "ABC", {}},
        AssemblyCase{"BytesAfterCompleteAreDropped", 0, "\x02" "A\x03" "ZZ\x03", {"\x02" "A\x03"}}),
    [](const auto& p) { return std::string(p.param.Name); });

TEST(MessageAssemblerState, MessageStaysUntilTheNextStart) {
  MessageAssembler assembler;
  const MessageAssembler::Framing framing{'\x02', '\x03', 0};
  for (char b : std::string("\x02" "A\x03" "Q")) assembler.Feed(b, framing);
  EXPECT_EQ(assembler.state(), MessageAssembler::kComplete);
  EXPECT_EQ(assembler.message(), "\x02" "A\x03");
  assembler.Feed('\x02', framing);
  EXPECT_EQ(assembler.state(), MessageAssembler::kCollecting);
  EXPECT_EQ(assembler.message(), "\x02");
}

}  // namespace
}  // namespace qz
