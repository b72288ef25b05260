#include "safe_text.h"

#include <gtest/gtest.h>

namespace vexpick {
namespace {

struct SafeTextCase {
  std::string text;
  std::string shown;
};

class SafeTextTest : public ::testing::TestWithParam<SafeTextCase> {};

TEST_P(SafeTextTest, NeutralisesControlCharacters) { EXPECT_EQ(SafeText(GetParam().text), GetParam().shown); }

INSTANTIATE_TEST_SUITE_P(Cases, SafeTextTest,
                         ::testing::Values(SafeTextCase{"plain", "plain"}, SafeTextCase{"", ""},
                                           SafeTextCase{"\x1b[31mred", "?[31mred"},                 // colour change
                                           SafeTextCase{"\x1b]0;title\x07", "?]0;title?"},          // window title
                                           SafeTextCase{"\x1b]52;c;aGk=\x1b\\", "?]52;c;aGk=?\\"},  // clipboard
                                           SafeTextCase{"a\rb\nc\x7f", "a?b?c?"},                   // CR, LF, DEL
                                           SafeTextCase{"\ta", "        a"}, SafeTextCase{"abc\td", "abc     d"},
                                           SafeTextCase{"12345678\tx", "12345678        x"},
                                           SafeTextCase{"caf\xC3\xA9", "caf\xC3\xA9"}));

#ifndef _WIN32
// UTF-8 characters (on Windows a character is one byte of the ANSI code page).
INSTANTIATE_TEST_SUITE_P(Utf8Cases, SafeTextTest,
                         ::testing::Values(SafeTextCase{"\xC2\x9B"
                                                        "2J",
                                                        "?2J"},  // C1 CSI
                                           SafeTextCase{"\xE4\xB8\xAD\tx",
                                                        "\xE4\xB8\xAD      x"}));  // a wide character takes 2 columns
#endif

}  // namespace
}  // namespace vexpick
