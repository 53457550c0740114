#include "protocol/codecs.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace qz {
namespace {

std::string Bytes(std::initializer_list<int> bytes) {
  std::string s;
  for (int b : bytes) s.push_back(static_cast<char>(b));
  return s;
}

struct Float24Case {
  Float24 bytes;
  double value;
};

TEST(Float24, DecodesTheStationForms) {
  const std::vector<Float24Case> cases = {
      {{0x00, 0x00, 0x00}, 0.0},
      {{0x40, 0x00, 0x00}, 1.0},
      {{0xC0, 0x00, 0x00}, -1.0},
      {{0x41, 0x00, 0x00}, 2.0},
      {{0x3F, 0x00, 0x00}, 0.5},
      {{0x41, 0x80, 0x00}, 3.0},
      {{0x47, 0xFE, 0x00}, 255.0},
      {{0x80, 0x00, 0x00}, -std::ldexp(1.0, -64)},  // only all-zero is zero
      {{0x3F, 0xFF, 0xFF}, (1.0 + 65535.0 / 65536.0) / 2.0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(DecodeFloat24(c.bytes[0], c.bytes[1], c.bytes[2]), c.value) << c.value;
    EXPECT_EQ(DecodeFloat24(Float24Bytes(c.bytes)), c.value);
  }
  EXPECT_NEAR(DecodeFloat24(0x3F, 0xFF, 0xFF), 0.99999237, 1e-8);
}

TEST(Float24, TextOfOtherLengthsIsCutOrPaddedWithZero) {
  EXPECT_EQ(DecodeFloat24(Bytes({0x41, 0x80, 0x00, 0x55})), 3.0);
  EXPECT_EQ(DecodeFloat24(Bytes({0x41, 0x80})), 3.0);
  EXPECT_EQ(DecodeFloat24(""), 0.0);
}

TEST(Float24, EncodesWithTruncatedFraction) {
  const std::vector<Float24Case> cases = {
      {{0x00, 0x00, 0x00}, 0.0},    {{0x40, 0x00, 0x00}, 1.0},   {{0xC0, 0x00, 0x00}, -1.0},
      {{0x3C, 0x99, 0x99}, 0.1},    {{0xC1, 0x40, 0x00}, -2.5},  {{0x47, 0xFE, 0x00}, 255.0},
      {{0x3F, 0x00, 0x00}, 0.5},    {{0x41, 0x80, 0x00}, 3.0},   {{0xBF, 0x80, 0x00}, -0.75},
  };
  for (const auto& c : cases) EXPECT_EQ(EncodeFloat24(c.value), c.bytes) << c.value;
}

TEST(Float24, RoundTripsWithinTheFractionStep) {
  for (double x : {123.456, -0.001234, 6.2271, 65000.0, -1.0e9, 3.0e-10}) {
    const Float24 f = EncodeFloat24(x);
    const double back = DecodeFloat24(f[0], f[1], f[2]);
    EXPECT_LE(std::fabs(back), std::fabs(x)) << x;  // truncation never grows
    EXPECT_NEAR(back, x, std::fabs(x) / 65536.0) << x;
  }
}

TEST(Float24, OutOfRangeMagnitudesSaturateInsteadOfFlippingTheSign) {
  EXPECT_EQ(EncodeFloat24(1.0e30), (Float24{0x7F, 0xFF, 0xFF}));
  EXPECT_EQ(EncodeFloat24(-1.0e30), (Float24{0xFF, 0xFF, 0xFF}));
  EXPECT_EQ(EncodeFloat24(INFINITY), (Float24{0x7F, 0xFF, 0xFF}));
  EXPECT_EQ(EncodeFloat24(NAN), (Float24{0x00, 0x00, 0x00}));
  // Below 2^-63 the smallest exponent is used with an empty fraction.
  EXPECT_EQ(EncodeFloat24(1.0e-30), (Float24{0x01, 0x00, 0x00}));
}

TEST(IeeeSingle, TextsOfSpecialPatterns) {
  EXPECT_EQ(SingleToText(0x3FC00000u), " 1.50000000000000E+0000");
  EXPECT_EQ(SingleToText(0xBFC00000u), "-1.50000000000000E+0000");
  EXPECT_EQ(SingleToText(0x00000000u), " 0.00000000000000E+0000");
  EXPECT_EQ(SingleToText(0x80000000u), " 0.00000000000000E+0000");
  EXPECT_EQ(SingleToText(0x7F800000u), "+infinity");
  EXPECT_EQ(SingleToText(0xFF800000u), "-infinity");
  EXPECT_EQ(SingleToText(0xFFC00000u), "-infinity");
  EXPECT_EQ(SingleToText(0x7FC00000u), "+infinity");
  EXPECT_EQ(SingleToText(0x7FC00001u), "NaN/x87 err");
  EXPECT_EQ(SingleToText(0x7F000000u), "+infinity");  // 2^127 is above 1.0E38
  EXPECT_EQ(SingleToText(0x41480000u), " 1.25000000000000E+0001");
}

TEST(IeeeSingle, ValuesWithBothFailureValues) {
  EXPECT_EQ(SingleToValue(0x3FC00000u), 1.5);
  EXPECT_EQ(SingleToValue(0xC2C80000u), -100.0);
  EXPECT_EQ(QqRealToValue(0x41480000u), 12.5);
  for (std::uint32_t bad : {0x7F800000u, 0xFFC00000u, 0x7FC00001u}) {
    EXPECT_EQ(SingleToValue(bad), -1.0);
    EXPECT_EQ(QqRealToValue(bad), Real6::Round(-1.0E37));
  }
  EXPECT_NEAR(QqRealToValue(0x7FC00001u), -9.999999999997E36, 1e24);
  EXPECT_NEAR(SingleToValue(0x3DCCCCCDu), 0.1, 1e-8);
}

TEST(Bits, Helpers) {
  EXPECT_EQ(PowerOfTwoByte(7), 0x80);
  EXPECT_EQ(PowerOfTwoWord(15), 0x8000);
  EXPECT_EQ(PowerOfTwoReal(-3), 0.125);
  EXPECT_TRUE(BitOfByte(0x81, 7));
  EXPECT_FALSE(BitOfByte(0x81, 6));
  EXPECT_TRUE(BitOfWord(0x0100, 8));
  EXPECT_TRUE(BitOfLong(0x80000000u, 31));
  EXPECT_FALSE(BitOfLong(0xFFFFFFFFu, 32));
  std::uint8_t b = 0x01;
  SetBit(b, 0);
  SetBit(b, 3);
  EXPECT_EQ(b, 0x09);
  std::uint16_t w = 0x80FF;
  ClearWordBit(w, 15);
  ClearWordBit(w, 14);
  EXPECT_EQ(w, 0x00FF);
  EXPECT_EQ(ByteMask(0), 0x00);
  EXPECT_EQ(ByteMask(1), 0x01);
  EXPECT_EQ(ByteMask(6), 0x3F);
  EXPECT_EQ(ByteMask(8), 0xFF);
  EXPECT_EQ(ByteMask(12), 0xFF);
  EXPECT_EQ(LowByte(0x1234), 0x34);
  EXPECT_EQ(HighByte(0x1234), 0x12);
  EXPECT_EQ(BcdToInt(0x59), 59);
  EXPECT_EQ(BcdToInt(0x00), 0);
}

TEST(Texts, Hexadecimal) {
  EXPECT_EQ(HexDigit(0), "0");
  EXPECT_EQ(HexDigit(15), "F");
  EXPECT_EQ(HexDigit(16), "?");
  EXPECT_EQ(HexByte(0xA5), "A5");
  EXPECT_EQ(HexWord(0x03E8), "03E8");
  EXPECT_EQ(HexText(Bytes({0x00, 0x05, 0x59})), "00 05 59 ");
  EXPECT_EQ(HexText(""), "");
}

TEST(Texts, Numbers) {
  struct Case {
    std::uint32_t number;
    int radix;
    const char* text;
  };
  for (const Case& c : std::vector<Case>{{10, 16, "0Ah"},
                                         {4660, 16, "1234h"},
                                         {255, 16, "FFh"},
                                         {256, 16, "0100h"},
                                         {255, 2, "FF"},
                                         {1234, 10, "1234"},
                                         {0, 10, "0"}})
    EXPECT_EQ(NumberText(c.number, c.radix), c.text) << c.number;
  EXPECT_EQ(Dec3(5), "005");
  EXPECT_EQ(Dec3(255), "255");
  EXPECT_EQ(DecPadded(42, 5), "00042");
  EXPECT_EQ(DecPadded(12345, 3), "12345");
}

TEST(Texts, RealsLikeStr) {
  struct Case {
    double value;
    int width;
    int decimals;
    const char* text;
  };
  for (const Case& c : std::vector<Case>{{15.0, 0, 0, " 1.50000000000000E+0001"},
                                         {-15.0, 0, 0, "-1.50000000000000E+0001"},
                                         {0.0, 0, 0, " 0.00000000000000E+0000"},
                                         {1.0e-5, 0, 0, " 1.00000000000000E-0005"},
                                         {12.5, 1, 2, "12.50"},
                                         {3.0, 1, 0, "3"},
                                         {2.5, 1, 0, "3"},
                                         {-2.5, 1, 0, "-3"},
                                         {4096.0, 1, 0, "4096"},
                                         {6.2271, 6, 1, "   6.2"},
                                         {100.0, 10, 2, "    100.00"},
                                         {0.125, 0, 2, "0.13"}})
    EXPECT_EQ(RealText(c.value, c.width, c.decimals), c.text) << c.value << ":" << c.width << ":" << c.decimals;
}

TEST(Texts, DisplayCharacters) {
  EXPECT_EQ(DisplayText(Bytes({0xDF, 0xFD, 0x7F, 0x5C, 0x7E, 'A'})), Bytes({0xB0, 0xF7, '<', 0x87, '>', 'A'}));
}

}  // namespace
}  // namespace qz
