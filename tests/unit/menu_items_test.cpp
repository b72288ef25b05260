// The menu object's creation, its items with their hotkeys, and the lookups.
#include <gtest/gtest.h>

#include <cstdint>

#include "console/utf8.h"
#include "support/menu_fixture.h"

namespace vexpick {
namespace {

using testing::FakeConsole;

TEST(MenuCreate, StartsEmptyWithTheClockAndNoChoice) {
  FakeConsole console;
  console.now = 123456789012;
  const TVexpickMenu menu(console);
  EXPECT_TRUE(menu.FItemList.empty());
  EXPECT_TRUE(menu.FShortcutList.empty());
  EXPECT_TRUE(menu.FQuestionList.empty());
  EXPECT_FALSE(menu.FShowMenu);
  EXPECT_FALSE(menu.FQuiet);
  EXPECT_EQ(menu.FQuestion, "");
  EXPECT_EQ(menu.FDefault, 0);
  EXPECT_EQ(menu.FExpire, 0);
  EXPECT_EQ(menu.FResult, -1);
  EXPECT_EQ(menu.FStartTime, 123456789012);
  EXPECT_EQ(menu.FCurrTime, 123456789012);
  EXPECT_FALSE(menu.FTimeoutElapsed);
  EXPECT_TRUE(menu.FFirstMenu);
  EXPECT_TRUE(console.output.empty());
}

struct AddItemCase {
  std::string text;
  std::string shown;
  std::string hotkey;
  std::int32_t position;
};

class AddItemAsFirst : public testing::MenuTest, public ::testing::WithParamInterface<AddItemCase> {};

TEST_P(AddItemAsFirst, ResolvesTildesAndFindsTheHotkey) {
  const AddItemCase& item = GetParam();
  ASSERT_EQ(menu.AddItem(item.text), 0);
  EXPECT_EQ(menu.GetItemFromIndex(0), item.shown);
  EXPECT_EQ(menu.GetShortcut(0), item.hotkey);
  EXPECT_EQ(menu.FShortcutList, std::vector<std::int32_t>{item.position});
}

INSTANTIATE_TEST_SUITE_P(Texts, AddItemAsFirst,
                         ::testing::Values(AddItemCase{"~Yes", "Yes", "Y", 1}, AddItemCase{"E~xit", "Exit", "x", 2},
                                           AddItemCase{"Sa~ve", "Save", "v", 3}, AddItemCase{"~a~b", "ab", "a", 1},
                                           AddItemCase{"x~~y~z", "x~yz", "z", 4}, AddItemCase{"~~x", "~x", "~", 1},
                                           AddItemCase{"~~~x", "~~x", "~", 1},
                                           AddItemCase{"Save ~~ close", "Save ~ close", "S", 1},
                                           AddItemCase{"a~", "a~", "a", 1}, AddItemCase{"x~~", "x~~", "x", 1},
                                           AddItemCase{"~", "~", "~", 1}, AddItemCase{"\xFF~x", "\xFFx", "x", 2},
                                           // "=" is a hotkey like any other.
                                           AddItemCase{"~=equal", "=equal", "=", 1}, AddItemCase{"=x", "=x", "=", 1},
                                           AddItemCase{"a=b", "a=b", "a", 1}));

#ifndef _WIN32
// Characters, not bytes: UTF-8 (on Windows a character is one byte).
INSTANTIATE_TEST_SUITE_P(Utf8Texts, AddItemAsFirst,
                         ::testing::Values(AddItemCase{"Gr~ün", "Grün", "ü", 3},
                                           AddItemCase{"日本~語", "日本語", "語", 3},
                                           AddItemCase{"~€uro", "€uro", "€", 1},
                                           // The dropped tilde joins two stray bytes into U+07B2.
                                           AddItemCase{"\xde~\xb2", "\xde\xb2", "\xde\xb2", 1}));
#endif

using AddItem = testing::MenuTest;

TEST_F(AddItem, RefusesAnEmptyText) {
  ASSERT_EQ(menu.AddItem("~Yes"), 0);
  EXPECT_EQ(menu.AddItem(""), -1);
  EXPECT_EQ(menu.ItemCount(), 1);
  EXPECT_EQ(menu.FShortcutList.size(), 1U);
}

struct Added {
  std::int32_t index;
  std::string hotkey;
  std::string shown;
  std::int32_t position;
};

const Added kRefused{-1, "", "", 0};

struct AddSequenceCase {
  std::vector<std::string> texts;
  std::vector<Added> added;  // one per text; index -1: refused
};

class AddItemsInTurn : public testing::MenuTest, public ::testing::WithParamInterface<AddSequenceCase> {};

TEST_P(AddItemsInTurn, SkipHotkeysInUseIgnoringCase) {
  const AddSequenceCase& sequence = GetParam();
  std::vector<std::int32_t> positions;
  for (std::size_t i = 0; i < sequence.texts.size(); ++i) {
    const Added& expected = sequence.added[i];
    EXPECT_EQ(menu.AddItem(sequence.texts[i]), expected.index) << sequence.texts[i];
    if (expected.index < 0) continue;
    EXPECT_EQ(menu.GetShortcut(expected.index), expected.hotkey);
    EXPECT_EQ(menu.GetItemFromIndex(expected.index), expected.shown);
    positions.push_back(expected.position);
  }
  EXPECT_EQ(menu.FShortcutList, positions);
}

INSTANTIATE_TEST_SUITE_P(
    Sequences, AddItemsInTurn,
    ::testing::Values(AddSequenceCase{{"Yes", "No", "Never", "~yes"},
                                      {{0, "Y", "Yes", 1}, {1, "N", "No", 1}, {2, "e", "Never", 2}, kRefused}},
                      AddSequenceCase{{"ab", "ba", "ab"}, {{0, "a", "ab", 1}, {1, "b", "ba", 1}, kRefused}},
                      AddSequenceCase{{"~a", "a b"}, {{0, "a", "a", 1}, {1, " ", "a b", 2}}},
                      AddSequenceCase{{"~=", "=a", "~a"}, {{0, "=", "=", 1}, {1, "a", "=a", 2}, kRefused}},
                      AddSequenceCase{{"~~", "~~y"}, {{0, "~", "~~", 1}, {1, "y", "~y", 2}}}));

#ifndef _WIN32  // UTF-8 letters
// Letter case beyond ASCII.
INSTANTIATE_TEST_SUITE_P(Utf8Sequences, AddItemsInTurn,
                         ::testing::Values(AddSequenceCase{
                             {"~Ärger", "äb", "~Öl", "~ö"},
                             {{0, "Ä", "Ärger", 1}, {1, "b", "äb", 2}, {2, "Ö", "Öl", 1}, kRefused}}));

using FindHotkey = testing::MenuTest;

TEST_F(FindHotkey, IgnoresLetterCaseOfAnyAlphabet) {
  AddItems({"~Yes", "~no", "~Ärger", "~жук", "~=", "~日"});
  const std::vector<std::pair<std::string, std::int32_t>> lookups = {
      {"y", 0}, {"Y", 0}, {"N", 1}, {"ä", 2}, {"Ä", 2}, {"Ж", 3}, {"=", 4}, {"日", 5}, {"x", -1}, {"", -1}, {"Ye", -1}};
  for (const auto& [hotkey, index] : lookups) EXPECT_EQ(menu.FindHotkey(hotkey), index) << hotkey;
}

// An item of one character that is its hotkey.
std::string HotkeyItem(char32_t code) { return std::string("~").append(utf8::Encode(code)); }

TEST_F(FindHotkey, KnowsEveryItemOfAThousandsLongList) {
  constexpr char32_t kFirst = 0x4E00;  // CJK ideographs, three bytes each
  constexpr std::int32_t kCount = 10000;
  for (std::int32_t i = 0; i < kCount; ++i) ASSERT_EQ(menu.AddItem(HotkeyItem(kFirst + i)), i);
  ASSERT_EQ(menu.AddItem(std::string("\xd0\xb6").append(utf8::Encode(kFirst))), kCount);  // ж
  for (std::int32_t i = 0; i < kCount; ++i) ASSERT_EQ(menu.FindHotkey(utf8::Encode(kFirst + i)), i);
  EXPECT_EQ(menu.FindHotkey("\xd0\x96"), kCount);  // Ж
  EXPECT_EQ(menu.AddItem(HotkeyItem(kFirst + kCount - 1)), -1);
  EXPECT_EQ(menu.FindHotkey(utf8::Encode(kFirst + kCount + 1)), -1);
}
#endif

using ItemLookups = testing::MenuTest;

TEST_F(ItemLookups, OutsideTheItemsGiveNothing) {
  ASSERT_EQ(menu.AddItem("~Yes"), 0);
  for (const std::int32_t index : {-1, 1, INT32_MIN, INT32_MAX}) {
    EXPECT_EQ(menu.GetShortcut(index), "");
    EXPECT_EQ(menu.GetItemFromIndex(index), "");
  }
}

using SetDefaultItem = testing::MenuTest;

TEST_F(SetDefaultItem, TakesOnlyAnExistingItem) {
  AddItems({"a", "b", "c"});
  menu.SetDefaultItem(2);
  EXPECT_EQ(menu.FDefault, 2);
  for (const std::int32_t index : {-1, 3, INT32_MAX}) {
    menu.SetDefaultItem(index);
    EXPECT_EQ(menu.FDefault, 2);
  }
  menu.SetDefaultItem(0);
  EXPECT_EQ(menu.FDefault, 0);
}

}  // namespace
}  // namespace vexpick
