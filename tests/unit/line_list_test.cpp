// The line list: lines kept in one text, split at CR, LF or CR LF.
#include "menu/line_list.h"

#include <gtest/gtest.h>

#include "support/line_list_lines.h"

namespace vexpick {
namespace {

using testing::Lines;
using testing::LinesOf;

TTextBlock BlockOf(std::string_view text) {
  TTextBlock block;
  block.Append(text);
  return block;
}

TEST(LineList, IndexesTheLinesOfAText) {
  const TLineList list(BlockOf("a\r\n\rbc\n\nd\r"));
  ASSERT_EQ(list.size(), 5U);
  EXPECT_EQ(LinesOf(list), (Lines{"a", "", "bc", "", "d"}));
  EXPECT_EQ(list[2], "bc");
  EXPECT_EQ(list[4], "d");
}

TEST(LineList, AddsLinesAfterATextWithoutAFinalLineEnd) {
  TLineList list(BlockOf("a\r\nb"));
  list.push_back("c");
  list.push_back("");
  list.push_back("d");
  EXPECT_EQ(LinesOf(list), (Lines{"a", "b", "c", "", "d"}));
}

TEST(LineList, ClearLeavesNoLines) {
  TLineList list{"one", "two"};
  list.clear();
  EXPECT_TRUE(list.empty());
  EXPECT_EQ(list.begin(), list.end());
  list.push_back("three");
  EXPECT_EQ(LinesOf(list), Lines{"three"});
}

}  // namespace
}  // namespace vexpick
