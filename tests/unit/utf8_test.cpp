#include "console/utf8.h"

#include <gtest/gtest.h>

namespace vexpick::utf8 {
namespace {

struct DecodeCase {
  std::string text;
  char32_t codePoint;
  std::size_t length;
};

class DecodeFirstTest : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(DecodeFirstTest, DecodesOneCharacter) {
  const DecodeCase& c = GetParam();
  const Decoded decoded = DecodeFirst(c.text);
  EXPECT_EQ(decoded.codePoint, c.codePoint);
  EXPECT_EQ(decoded.length, c.length);
  EXPECT_EQ(Encode(decoded.codePoint), c.text.substr(0, c.length));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DecodeFirstTest,
    ::testing::Values(DecodeCase{"a", U'a', 1}, DecodeCase{"\xC3\xA9x", U'\u00E9', 2},
                      DecodeCase{"\xE2\x82\xAC", U'\u20AC', 3}, DecodeCase{"\xF0\x9F\x98\x80", U'\U0001F600', 4},
                      // Not valid UTF-8: each bad byte is a character of its own.
                      DecodeCase{"\xFF", kInvalidByteBase + 0xFF, 1}, DecodeCase{"\xC3x", kInvalidByteBase + 0xC3, 1},
                      DecodeCase{"\xC0\x80", kInvalidByteBase + 0xC0, 1},          // overlong
                      DecodeCase{"\xED\xA0\x80", kInvalidByteBase + 0xED, 1},      // surrogate
                      DecodeCase{"\xF4\x90\x80\x80", kInvalidByteBase + 0xF4, 1},  // above U+10FFFF
                      DecodeCase{"\x80", kInvalidByteBase + 0x80, 1}));

TEST(Utf8Test, IncompletePrefix) {
  EXPECT_TRUE(IsIncompletePrefix("\xE2\x82"));
  EXPECT_TRUE(IsIncompletePrefix("\xF0"));
  EXPECT_FALSE(IsIncompletePrefix("\xE2\x82\xAC"));
  EXPECT_FALSE(IsIncompletePrefix("\xE2x"));
  EXPECT_FALSE(IsIncompletePrefix("a"));
  EXPECT_FALSE(IsIncompletePrefix(""));
}

}  // namespace
}  // namespace vexpick::utf8
