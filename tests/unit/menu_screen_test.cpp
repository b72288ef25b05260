// The full-screen menu: layout, colours, navigation, the viewport, cut rows,
// and the incremental drawing checked against a full redraw.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "console/utf8.h"
#include "menu/menu.h"
#include "support/fake_console.h"

namespace vexpick {
namespace {

using testing::FakeConsole;
using testing::Screen;

// Item i with a hotkey of its own, so that any number of items can be added
// (on Windows, where a character is one byte, a few dozen).

std::string NumberedText(int i) {
#ifdef _WIN32
  static constexpr std::string_view kHotkeys = "0123456789!\"#$%&'()*+,-./:;<>?@[\\]^_`{|}";
  return std::string(1, kHotkeys.at(static_cast<std::size_t>(i))) + " Item " + std::to_string(i);
#else
  return utf8::Encode(static_cast<char32_t>(0x2500 + i)) + " Item " + std::to_string(i);
#endif
}

std::string NumberedItem(int i) { return std::string("~").append(NumberedText(i)); }

std::vector<std::string> NumberedItems(int count) {
  std::vector<std::string> items(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) items[static_cast<std::size_t>(i)] = NumberedItem(i);
  return items;
}

std::vector<std::string> Lines(int count) {
  std::vector<std::string> lines;
  for (int i = 1; i <= count; ++i) lines.push_back("Line " + std::to_string(i));
  return lines;
}

struct MenuSetup {
  MenuSetup& Window(int columnCount, int rowCount) {
    columns = columnCount;
    rows = rowCount;
    return *this;
  }
  MenuSetup& Attribute(std::uint8_t value) { return attribute = value, *this; }
  MenuSetup& Items(std::vector<std::string> texts) { return items = std::move(texts), *this; }
  MenuSetup& QuestionLines(std::vector<std::string> lines) { return questionLines = std::move(lines), *this; }
  MenuSetup& Question(std::string text) { return question = std::move(text), *this; }
  MenuSetup& ColorWord(std::uint32_t word) { return colorWord = word, *this; }
  MenuSetup& Default(std::int32_t item) { return defaultItem = item, *this; }

  int columns = 80;
  int rows = 25;
  std::uint8_t attribute = 0x07;
  std::vector<std::string> items;
  std::vector<std::string> questionLines;
  std::string question;
  std::uint32_t colorWord = 0;
  std::int32_t defaultItem = 0;
};

// A console with a menu built from a setup.
struct Rig {
  explicit Rig(const MenuSetup& setup) : console(setup.columns, setup.rows, setup.attribute), menu(console) {
    menu.FShowMenu = true;
    menu.FQuestion = setup.question;
    for (const std::string& line : setup.questionLines) menu.FQuestionList.push_back(line);
    menu.LoadColor(setup.colorWord);
    for (const std::string& item : setup.items) EXPECT_GE(menu.AddItem(item), 0) << item;
    menu.SetDefaultItem(setup.defaultItem);
  }

  // The screen at each wait for a key, and the calls made since the wait before.
  void RecordEachWait() {
    console.onWait = [this] {
      screens.push_back(console.Cells());
      rowTexts.push_back(console.Rows());
      passes.emplace_back(console.calls.begin() + static_cast<std::ptrdiff_t>(seenCalls), console.calls.end());
      seenCalls = console.calls.size();
      highlights.push_back(HighlightedRows());
    };
  }

  std::int32_t Run(std::vector<KeyCode> keys) {
    console.keys.assign(keys.begin(), keys.end());
    return menu.Run();
  }

  // The rows whose first cell has the highlight's background.
  [[nodiscard]] std::vector<int> HighlightedRows() const {
    std::vector<int> rows;
    for (int row = 1; row <= console.LastRow(); ++row) {
      if (console.At(1, row).attribute >> 4 == menu.FHighlightBack && menu.FHighlightBack != menu.FNormalBack)
        rows.push_back(row);
    }
    return rows;
  }

  FakeConsole console;
  TVexpickMenu menu;
  std::vector<Screen> screens;
  std::vector<std::vector<std::string>> rowTexts;
  std::vector<std::vector<std::string>> passes;
  std::vector<std::vector<int>> highlights;
  std::size_t seenCalls = 0;
};

// What a fresh console shows after one full draw of the given state.
Screen FullRedraw(Rig& fresh, std::int32_t highlighted, std::int32_t topItem) {
  fresh.menu.FDefault = highlighted;
  fresh.menu.FTopItem = topItem;
  fresh.menu.FFirstMenu = true;
  fresh.menu.Clear_Screen();
  fresh.console.SetLineWrap(false);
  fresh.menu.DoShowMenu();
  return fresh.console.Cells();
}

// --------------------------------------------------------------------------
// Layout

struct LayoutCase {
  MenuSetup setup;
  std::vector<std::string> rows;  // from row 1; the rows after them are blank
};

class MenuLayout : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(MenuLayout, ListsQuestionLinesQuestionAndItemsFromTheTop) {
  Rig rig(GetParam().setup);
  rig.RecordEachWait();
  rig.Run({kKeyEscape});
  std::vector<std::string> expected = GetParam().rows;
  expected.resize(static_cast<std::size_t>(rig.console.LastRow()));
  EXPECT_EQ(rig.rowTexts.at(0), expected);
}

std::vector<std::string> Concat(std::vector<std::string> a, const std::vector<std::string>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, MenuLayout,
    ::testing::Values(
        LayoutCase{MenuSetup().Items({"~One", "~Two"}).QuestionLines(Lines(3)).Question("Q"),
                   {"Line 1", "Line 2", "Q", "One", "Two"}},
        LayoutCase{MenuSetup().Items({"~a", "~b", "~c"}).QuestionLines(Lines(30)), Concat(Lines(22), {"a", "b", "c"})},
        LayoutCase{MenuSetup().Items({"~a", "~b", "~c"}).QuestionLines(Lines(30)).Question("Q"),
                   Concat(Lines(21), {"Q", "a", "b", "c"})},
        LayoutCase{MenuSetup().Items({"~a", "~b"}).Question("Q"), {"Q", "a", "b"}},
        LayoutCase{MenuSetup().Items({"~a", "~b"}), {"a", "b"}},
        // One question line fewer with a question text, even with room to spare.
        LayoutCase{MenuSetup().Items({"~a"}).QuestionLines(Lines(2)).Question("Q"), {"Line 1", "Q", "a"}},
        // More items than rows: the question text stays, the lines give way.
        LayoutCase{MenuSetup().Window(80, 5).Items(NumberedItems(6)).QuestionLines(Lines(2)).Question("Q"),
                   {"Q", NumberedText(0), NumberedText(1), NumberedText(2), NumberedText(3)}},
        // A single row keeps it for the items.
        LayoutCase{MenuSetup().Window(80, 1).Items({"~a", "~b"}).Question("Q"), {"a"}},
        // Rows are cut at the window's width.
        LayoutCase{MenuSetup().Window(5, 3).Items({"~abcdefg", "~xy"}).QuestionLines({"123456"}),
                   {"12345", "abcde", "xy"}}));

#ifndef _WIN32
// A wide character (UTF-8) is never split.
INSTANTIATE_TEST_SUITE_P(
    Utf8Layouts, MenuLayout,
    ::testing::Values(LayoutCase{
        MenuSetup().Window(5, 4).Items({"~abcdefg", "x日本語", "~日本語"}).QuestionLines({"123456"}),
        {"12345", "abcde", "x日本", "日本"}}));
#endif

// --------------------------------------------------------------------------
// Colours

struct ColorCase {
  std::uint32_t colorWord;
  std::uint8_t normal, normalHotkey, highlight, highlightHotkey;
};

class MenuColors : public ::testing::TestWithParam<ColorCase> {};

TEST_P(MenuColors, ColourEachCell) {
  const ColorCase& colors = GetParam();
  Rig rig(MenuSetup().Items({"A~pple", "~Banana"}).Question("Pick").ColorWord(colors.colorWord));
  rig.RecordEachWait();
  rig.Run({kKeyEscape});
  const Screen& screen = rig.screens.at(0);
  const auto attribute = [&](int column, int row) { return screen[row - 1][column - 1].attribute; };
  for (int column = 1; column <= 80; ++column) EXPECT_EQ(attribute(column, 1), colors.normal);
  const std::vector<std::uint8_t> highlighted = {colors.highlight, colors.highlightHotkey, colors.highlight,
                                                 colors.highlight, colors.highlight};
  const std::vector<std::uint8_t> normal = {colors.normalHotkey, colors.normal, colors.normal,
                                            colors.normal,       colors.normal, colors.normal};
  for (int column = 1; column <= 5; ++column) EXPECT_EQ(attribute(column, 2), highlighted[column - 1]) << column;
  for (int column = 1; column <= 6; ++column) EXPECT_EQ(attribute(column, 3), normal[column - 1]) << column;
  for (int row = 2; row <= 25; ++row) {
    for (int column = row == 2 ? 6 : row == 3 ? 7 : 1; column <= 80; ++column) {
      ASSERT_EQ(attribute(column, row), colors.normal) << column << "," << row;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Words, MenuColors,
                         ::testing::Values(ColorCase{0, 0x07, 0x0F, 0x70, 0x7F},
                                           ColorCase{0x00FF7E1E, 0x1E, 0x1F, 0x7E, 0x7F},
                                           ColorCase{0x00007E1E, 0x1E, 0x10, 0x7E, 0x70}));

// --------------------------------------------------------------------------
// Keys

struct NavigationCase {
  int items;
  std::vector<KeyCode> keys;  // then Enter
  std::int32_t result;
};

class MenuNavigation : public ::testing::TestWithParam<NavigationCase> {};

TEST_P(MenuNavigation, MovesTheHighlightWrappingAtBothEnds) {
  Rig rig(MenuSetup().Items(NumberedItems(GetParam().items)));
  rig.RecordEachWait();
  std::vector<KeyCode> keys = GetParam().keys;
  keys.push_back(kKeyEnter);
  EXPECT_EQ(rig.Run(keys), GetParam().result);
  EXPECT_EQ(rig.menu.FResult, GetParam().result - 1);
  EXPECT_EQ(rig.highlights.back(), std::vector<int>{GetParam().result});
}

INSTANTIATE_TEST_SUITE_P(
    Keys, MenuNavigation,
    ::testing::Values(NavigationCase{3, {}, 1}, NavigationCase{3, {kKeyDown}, 2}, NavigationCase{3, {kKeyRight}, 2},
                      NavigationCase{3, {kKeyDown, kKeyDown, kKeyDown}, 1}, NavigationCase{3, {kKeyUp}, 3},
                      NavigationCase{3, {kKeyLeft}, 3}, NavigationCase{3, {kKeyUp, kKeyUp, kKeyDown}, 3},
                      NavigationCase{3, {kKeyEnd}, 3}, NavigationCase{3, {kKeyPageDown}, 3},
                      NavigationCase{3, {kKeyEnd, kKeyHome}, 1}, NavigationCase{3, {kKeyEnd, kKeyPageUp}, 1},
                      NavigationCase{3, {kKeyDown, kKeyF1, kKeyInsert, kKeyDelete, 'z', ExtendedKey(1)}, 2},
                      NavigationCase{1, {kKeyDown, kKeyUp, kKeyLeft, kKeyRight, kKeyEnd, kKeyPageDown}, 1}));

struct ChoiceCase {
  std::vector<KeyCode> keys;
  std::int32_t result;
  std::int32_t itemChosen;
};

class MenuChoice : public ::testing::TestWithParam<ChoiceCase> {};

TEST_P(MenuChoice, EndsWithTheResultAndABlankWindow) {
  Rig rig(MenuSetup().Attribute(0x1F).Items({"~Apple", "~Banana", "~Cherry"}).Question("Pick"));
  rig.menu.SetDefaultItem(1);
  EXPECT_EQ(rig.Run(GetParam().keys), GetParam().result);
  EXPECT_EQ(rig.menu.FResult, GetParam().itemChosen);
  for (int row = 1; row <= 25; ++row) {
    for (int column = 1; column <= 80; ++column) {
      ASSERT_EQ(rig.console.At(column, row), (testing::Cell{" ", 0x1F})) << column << "," << row;
    }
  }
  EXPECT_TRUE(rig.console.cursorVisible);
  EXPECT_TRUE(rig.console.lineWrap);
  EXPECT_EQ(rig.console.cursorColumn, 1);
  EXPECT_EQ(rig.console.cursorRow, 1);
  EXPECT_EQ(rig.console.Attribute(), 0x1F);
}

INSTANTIATE_TEST_SUITE_P(Keys, MenuChoice,
                         ::testing::Values(ChoiceCase{{kKeyEnter}, 2, 1}, ChoiceCase{{kKeyEscape}, 0, 0},
                                           ChoiceCase{{'c'}, 3, 2}, ChoiceCase{{'A'}, 1, 0},
                                           ChoiceCase{{kKeyDown, kKeyEnter}, 3, 2}, ChoiceCase{{kKeyDown, 'b'}, 2, 1}));

TEST(Menu, HidesTheCursorAndStopsLineWrapWhileItRuns) {
  Rig rig(MenuSetup().Items({"~a", "~b"}));
  std::vector<std::pair<bool, bool>> states;
  rig.console.onWait = [&] { states.emplace_back(rig.console.cursorVisible, rig.console.lineWrap); };
  rig.Run({kKeyDown, kKeyEnter});
  EXPECT_EQ(states, (std::vector<std::pair<bool, bool>>{{false, false}, {false, false}}));
}

TEST(Menu, TimesOutWithTheDefaultUnlessAKeyCame) {
  Rig rig(MenuSetup().Items({"~a", "~b", "~c"}).Default(2));
  rig.menu.FExpire = 1;
  rig.console.now = 0;
  EXPECT_EQ(rig.Run({}), 3);
  EXPECT_EQ(rig.console.deadlines, std::vector<Millis>{1001});

  rig.console.deadlines.clear();
  EXPECT_EQ(rig.Run({'z', kKeyUp, kKeyEnter}), 2);
  EXPECT_EQ(rig.console.deadlines, (std::vector<Millis>{2002, kNoDeadline, kNoDeadline}));
}

TEST(Menu, WithoutAKeyboardEndsAsAfterEscape) {
  Rig rig(MenuSetup().Items({"~a", "~b"}).Default(1));
  rig.console.noKeyboard = true;
  EXPECT_EQ(rig.Run({}), 0);
  EXPECT_EQ(rig.menu.FResult, 0);
  EXPECT_TRUE(rig.console.cursorVisible);
}

TEST(Menu, WithoutItemsDrawsNothing) {
  Rig rig(MenuSetup{});
  EXPECT_EQ(rig.Run({}), 0);
  EXPECT_TRUE(rig.console.calls.empty());
}

// --------------------------------------------------------------------------
// What is written

std::size_t Count(const std::string& text, const std::string& part) {
  std::size_t count = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

TEST(MenuOutput, WritesTheQuestionAreaOnce) {
  Rig rig(MenuSetup().Items(NumberedItems(3)).QuestionLines({"First line", "Second line"}).Question("Pick one"));
  rig.Run({kKeyDown, kKeyDown, 'z', kKeyUp, kKeyHome, kKeyEnd, kKeyEnter});
  EXPECT_EQ(Count(rig.console.output, "First line"), 1U);
  EXPECT_EQ(Count(rig.console.output, "Pick one"), 1U);
  EXPECT_FALSE(rig.menu.FFirstMenu);
}

TEST(MenuOutput, MovingTheHighlightRewritesTwoRows) {
  Rig rig(MenuSetup().Items({"~Apple", "~Banana", "~Cherry"}));
  rig.RecordEachWait();
  rig.Run({kKeyDown, kKeyEnter});
  EXPECT_EQ(rig.passes.at(1), (std::vector<std::string>{"move 1,1", "attr 0F", "write A", "attr 07", "write pple",
                                                        "move 1,2", "attr 7F", "write B", "attr 70", "write anana"}));
}

#ifndef _WIN32  // more items than Windows has characters
TEST(MenuOutput, AKeyThatChangesNothingWritesNothing) {
  Rig rig(MenuSetup().Items(NumberedItems(100)).Question("Q"));
  rig.RecordEachWait();
  rig.Run(
      {kKeyHome, kKeyPageUp, 'z', kKeyF1, kKeyInsert, kKeyDown, kKeyUp, kKeyEnd, kKeyEnd, kKeyPageDown, kKeyEscape});
  for (const std::size_t pass : {1, 2, 3, 4, 5, 9, 10}) EXPECT_TRUE(rig.passes.at(pass).empty()) << pass;
}
#endif

TEST(MenuOutput, SingleItemIgnoresNavigationSilently) {
  Rig rig(MenuSetup().Items({"~only"}));
  rig.RecordEachWait();
  rig.Run({kKeyDown, kKeyUp, kKeyEnd, kKeyEscape});
  for (const std::size_t pass : {1, 2, 3}) EXPECT_TRUE(rig.passes.at(pass).empty()) << pass;
}

TEST(MenuOutput, HighlightInTheNormalColoursWritesNothingOnMoving) {
  Rig rig(MenuSetup().Items({"~a", "~b"}).ColorWord(0x00FF1E1E));
  rig.RecordEachWait();
  rig.Run({kKeyDown, kKeyEnter});
  EXPECT_TRUE(rig.passes.at(1).empty());
}

TEST(MenuOutput, AResumeRedrawsEverythingAndKeepsTheCountdown) {
  const MenuSetup setup =
      MenuSetup().Items(NumberedItems(3)).QuestionLines({"First line", "Second line"}).Question("Pick").Default(1);
  Rig rig(setup);
  rig.RecordEachWait();
  rig.menu.FExpire = 5;
  rig.console.now = 0;
  rig.console.resumes = 1;
  rig.console.onWait = [&rig, previous = rig.console.onWait] {
    previous();
    // What the terminal may show after the program was stopped.
    if (rig.screens.size() == 1) rig.console.Clear();
  };
  EXPECT_EQ(rig.Run({}), 2);
  EXPECT_EQ(Count(rig.console.output, "First line"), 2U);
  Rig fresh(setup);
  EXPECT_EQ(rig.screens.at(1), FullRedraw(fresh, 1, 0));
  EXPECT_EQ(rig.console.deadlines, (std::vector<Millis>{5001, 5001}));
  EXPECT_EQ(std::count(rig.passes.at(1).begin(), rig.passes.at(1).end(), "cursor off"), 1);
  EXPECT_EQ(std::count(rig.passes.at(1).begin(), rig.passes.at(1).end(), "wrap off"), 1);
}

// --------------------------------------------------------------------------
// More items than rows, wider texts than the window

#ifndef _WIN32  // more items than Windows has characters
TEST(MenuViewport, KeepsTheHighlightInView) {
  Rig rig(MenuSetup().Items(NumberedItems(100)).Question("Pick"));
  rig.RecordEachWait();
  std::vector<KeyCode> keys(24, kKeyDown);  // to item 24, one row past the view
  keys.insert(keys.end(), {kKeyHome, kKeyEnd, kKeyDown, kKeyUp, kKeyPageUp, kKeyEscape});
  rig.Run(keys);
  const auto shows = [&](std::size_t pass, int firstItem, int highlightedRow) {
    std::vector<std::string> rows = {"Pick"};
    for (int item = firstItem; item < firstItem + 24; ++item) rows.push_back(rig.menu.GetItemFromIndex(item));
    EXPECT_EQ(rig.rowTexts.at(pass), rows) << pass;
    EXPECT_EQ(rig.highlights.at(pass), std::vector<int>{highlightedRow}) << pass;
  };
  shows(0, 0, 2);
  shows(23, 0, 25);
  shows(24, 1, 25);   // scrolled by one row
  shows(25, 0, 2);    // Home
  shows(26, 76, 25);  // End
  shows(27, 0, 2);    // Down wraps to the first
  shows(28, 76, 25);  // Up wraps to the last
  shows(29, 0, 2);    // Page Up
}

TEST(MenuViewport, ScrollsOneRowAndDrawsOnlyTheRowsThatChange) {
  Rig rig(MenuSetup().Window(80, 24).Items(NumberedItems(500)));
  rig.RecordEachWait();
  std::vector<KeyCode> keys(24, kKeyDown);
  keys.push_back(kKeyUp);
  keys.push_back(kKeyEscape);
  rig.Run(keys);
  const std::vector<std::string>& scrollDown = rig.passes.at(24);
  ASSERT_FALSE(scrollDown.empty());
  EXPECT_EQ(scrollDown[1], "scroll 1-24 1");
  EXPECT_EQ(std::count_if(scrollDown.begin(), scrollDown.end(),
                          [](const std::string& call) { return call.starts_with("move"); }),
            2);
  EXPECT_EQ(rig.passes.at(25).size(), rig.passes.at(23).size());  // Up inside the view: two rows
}

TEST(MenuViewport, StartsWithTheDefaultItemInView) {
  Rig rig(MenuSetup().Window(80, 10).Items(NumberedItems(50)).Default(30));
  rig.RecordEachWait();
  rig.Run({kKeyEnter});
  EXPECT_EQ(rig.rowTexts.at(0).front(), rig.menu.GetItemFromIndex(21));
  EXPECT_EQ(rig.highlights.at(0), std::vector<int>{10});
}

TEST(MenuViewport, NeverMovesTheCursorOutsideTheWindow) {
  Rig rig(MenuSetup().Window(80, 10).Items(NumberedItems(60)).QuestionLines(Lines(20)).Question("Q"));
  rig.Run({kKeyEnd, kKeyUp, kKeyDown, kKeyDown, kKeyPageUp, kKeyUp, kKeyEscape});
  for (const std::string& call : rig.console.calls) {
    if (!call.starts_with("move ")) continue;
    const int row = std::stoi(call.substr(call.find(',') + 1));
    EXPECT_TRUE(row >= 1 && row <= 10) << call;
  }
}
#endif

TEST(MenuWideText, CutsRowsAtTheWindowAndStillTakesAHiddenHotkey) {
  const std::string longItem = std::string("~A").append(199, 'x');
  const std::string hiddenHotkey = std::string(100, 'y') + "~Q";
  Rig rig(MenuSetup().Items({longItem, hiddenHotkey, "~Short"}).QuestionLines({std::string(200, 'l')}));
  rig.RecordEachWait();
  EXPECT_EQ(rig.Run({kKeyDown, 'q'}), 2);
  EXPECT_EQ(rig.rowTexts.at(0)[0], std::string(80, 'l'));
  EXPECT_EQ(rig.rowTexts.at(0)[1], std::string("A").append(79, 'x'));
  EXPECT_EQ(rig.rowTexts.at(0)[2], std::string(80, 'y'));
  EXPECT_EQ(rig.rowTexts.at(0)[3], "Short");
}

TEST(MenuWideText, FillsTheBottomRowWithoutScrolling) {
  Rig rig(MenuSetup().Window(10, 3).Items(
      {std::string("~").append(10, 'a'), std::string("~").append(10, 'b'), std::string("~").append(10, 'c')}));
  rig.RecordEachWait();
  rig.Run({kKeyUp, kKeyUp, kKeyEscape});
  for (const auto& rows : rig.rowTexts) {
    EXPECT_EQ(rows, (std::vector<std::string>{std::string(10, 'a'), std::string(10, 'b'), std::string(10, 'c')}));
  }
}

// --------------------------------------------------------------------------
// The incremental screen against a full redraw

#ifndef _WIN32  // more items than Windows has characters, UTF-8 texts
void ExpectEveryScreenAsAFullRedraw(const MenuSetup& setup, std::uint32_t seed, int keyCount) {
  static const std::vector<KeyCode> kKeys = {kKeyUp,       kKeyDown, kKeyLeft, kKeyRight, kKeyHome, kKeyEnd, kKeyPageUp,
                                             kKeyPageDown, kKeyDown, kKeyDown, kKeyUp,    kKeyF1,   'z'};
  std::mt19937 random(seed);
  std::vector<KeyCode> keys(static_cast<std::size_t>(keyCount));
  for (KeyCode& key : keys) key = kKeys[random() % kKeys.size()];
  keys.push_back(kKeyEscape);

  Rig rig(setup);
  Rig fresh(setup);
  int checked = 0;
  rig.console.onWait = [&] {
    ++checked;
    ASSERT_EQ(rig.console.Cells(), FullRedraw(fresh, rig.menu.FDefault, rig.menu.FTopItem))
        << "seed " << seed << ", wait " << checked;
  };
  rig.Run(keys);
  EXPECT_EQ(checked, keyCount + 1);
}

TEST(MenuIncremental, EveryScreenEqualsAFullRedraw) {
  const std::vector<std::string> mixed = {"~a",
                                          "~bbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbb",
                                          "~c日本語日本語日本語",
                                          "~d\tx\ty",
                                          "~e\x1b[31mred",
                                          "f",
                                          "g~h",
                                          std::string("~i").append(40, 'i'),
                                          "~j",
                                          "k 日~本",
                                          "~lllllllllll",
                                          "~m"};
  const std::vector<MenuSetup> setups = {
      MenuSetup().Items(NumberedItems(3)).QuestionLines(Lines(2)).Question("Pick"),
      MenuSetup().Items(NumberedItems(100)).Question("Pick"),
      MenuSetup().Window(80, 24).Items(NumberedItems(500)),
      MenuSetup().Window(12, 6).Items(mixed).QuestionLines(Lines(3)).Question("Which one?"),
      MenuSetup().Window(7, 4).Attribute(0x1F).Items(mixed).Question("Q"),
      MenuSetup().Window(3, 1).Items(mixed),
      MenuSetup().Window(20, 8).Items(mixed).ColorWord(0x00FF1E1E).Default(9),
      MenuSetup().Window(20, 8).Items(mixed).ColorWord(0x00FF7E1E).Default(11),
  };
  for (std::size_t i = 0; i < setups.size(); ++i) {
    for (std::size_t seed = 1; seed <= 4; ++seed) {
      ExpectEveryScreenAsAFullRedraw(setups[i], static_cast<std::uint32_t>(seed * 100 + i), 60);
    }
  }
}
#endif

}  // namespace
}  // namespace vexpick
