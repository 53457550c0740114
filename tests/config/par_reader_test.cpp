// Number and text conversions of the parameter-file reader.

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "config/par_reader.h"

namespace qz {
namespace {

struct IntegerCase {
  const char* text;
  std::optional<std::int32_t> value;
};

TEST(ParseInteger, AcceptsTheStandardFormsAndNothingElse) {
  const IntegerCase cases[] = {
      {"0", 0},          {"300", 300},       {"-5", -5},         {"+7", 7},
      {"$3F8", 0x3F8},   {"$3f8", 0x3F8},    {"x10", 16},        {"X10", 16},
      {"0x1A", 26},      {"0X1a", 26},       {"-$10", -16},      {"2147483647", 2147483647},
      {"$FFFFFFFF", -1}, {"", std::nullopt}, {"$", std::nullopt}, {"-", std::nullopt},
      {"0x", std::nullopt}, {"1,5", std::nullopt}, {"12a", std::nullopt}, {"1.0", std::nullopt},
      {"2147483648", std::nullopt}, {"$100000000", std::nullopt}, {" 1", std::nullopt},
      {"$-1", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(ParseInteger(c.text), c.value) << '"' << c.text << '"';
}

TEST(ParseReal, TakesADecimalPointOnly) {
  EXPECT_EQ(ParseReal("1.5"), 1.5);
  EXPECT_EQ(ParseReal("-2"), -2.0);
  EXPECT_EQ(ParseReal("+.25"), 0.25);
  EXPECT_EQ(ParseReal("1e3"), 1000.0);
  EXPECT_EQ(ParseReal("2.5E-1"), 0.25);
  EXPECT_EQ(ParseReal("3."), 3.0);
  for (const char* bad : {"1,5", "", ".", "e5", "1e", "1e+", "inf", "nan", "0x10", "1.5x", "1e999", "--1"}) {
    EXPECT_FALSE(ParseReal(bad).has_value()) << '"' << bad << '"';
  }
}

TEST(DecodeTextValue, QuotesAndHexCodesBuildTheValue) {
  EXPECT_EQ(DecodeTextValue("$10$02"), std::string("\x10\x02"));
  EXPECT_EQ(DecodeTextValue("\"X\" $0D $0a"), std::string("X\r\n"));
  EXPECT_EQ(DecodeTextValue("\"STATION1\""), "STATION1");
  EXPECT_EQ(DecodeTextValue("\"open to the end"), "open to the end");
  EXPECT_EQ(DecodeTextValue("ignored \"kept\" ignored"), "kept");
  EXPECT_EQ(DecodeTextValue("{ \"in a comment\" }"), "in a comment");
  EXPECT_EQ(DecodeTextValue(""), "");
  EXPECT_EQ(DecodeTextValue("$00"), std::string(1, '\0'));
  // A dollar sign needs two hex digits after it.
  EXPECT_FALSE(DecodeTextValue("$0").has_value());
  EXPECT_FALSE(DecodeTextValue("$").has_value());
  EXPECT_FALSE(DecodeTextValue("$G1").has_value());
  EXPECT_FALSE(DecodeTextValue("\"a\" $1").has_value());
}

TEST(TokenEquals, ComparesUpperCaseOnTheFirst80Characters) {
  EXPECT_TRUE(TokenEquals("baud", "BAUD"));
  EXPECT_TRUE(TokenEquals("Video", "VIDEO"));
  EXPECT_FALSE(TokenEquals("BAUDX", "BAUD"));
  const std::string k80(80, 'K');
  EXPECT_TRUE(TokenEquals(std::string(100, 'K'), k80));
  EXPECT_TRUE(TokenEquals(k80 + "XYZ", k80 + "abc"));
  EXPECT_FALSE(TokenEquals(std::string(79, 'K'), k80));
  // Only ASCII letters change case: the Czech letters stay as they are.
  EXPECT_FALSE(TokenEquals("\xE8", "\xC8"));
  EXPECT_EQ(UpperAscii("a\xE8z"), "A\xE8Z");
}

TEST(ParSource, CountsLinesEndedByCrLfCrOrLf) {
  ParSource src(std::string_view("a\r\nb\nc\rd"));
  std::string seen;
  std::vector<int> lines;
  for (int c = src.Get(); c >= 0; c = src.Get()) {
    if (c >= 'a') {
      seen.push_back(static_cast<char>(c));
      lines.push_back(src.Line());
    }
  }
  EXPECT_EQ(seen, "abcd");
  EXPECT_EQ(lines, (std::vector<int>{1, 2, 3, 4}));
}

}  // namespace
}  // namespace qz
