// The full-screen menu: layout, colours per cell, navigation, choosing, the
// countdown, the screen it leaves behind, and windows too small for it.
#include <signal.h>

#include "console/utf8.h"
#include "gtest/gtest.h"
#include "pty_session.h"
#include "screen_checks.h"

namespace e2e {
namespace {

const std::vector<std::string> kFruit = {"--menu", "--question=Pick a fruit", "~Apple", "~Banana", "~Cherry"};
const std::vector<std::string> kThree = {"--menu", "~One", "~Two", "T~hree"};
const std::vector<std::string> kThreeShown = {"One", "Two", "Three"};
const int kThreeHotkeys[] = {1, 1, 2};

std::vector<std::string> Numbered(const std::string& prefix, int count) {
  std::vector<std::string> lines;
  for (int i = 1; i <= count; ++i) lines.push_back(prefix + std::to_string(i));
  return lines;
}

// The rows of the highlighted item, told by its background.
std::vector<int> HighlightedRows(const PtySession& menu) {
  std::vector<int> rows;
  for (int row = 1; row <= menu.rows(); ++row) {
    if (ColoursAt(menu, row, 1).bg == kStartupMenuColours.highlight.bg) rows.push_back(row);
  }
  return rows;
}

testing::AssertionResult WaitForHighlight(PtySession& menu, int row) {
  return menu.WaitFor([&] { return HighlightedRows(menu) == std::vector<int>{row}; },
                      "the highlight on row " + std::to_string(row));
}

TEST(Menu, ShowsTheQuestionAndTheItemsFromTheTopLeft) {
  PtySession menu(kFruit);
  ASSERT_TRUE(menu.WaitForRows({"Pick a fruit", "Apple", "Banana", "Cherry", ""}));
  ASSERT_TRUE(menu.WaitUntilWaiting());
  EXPECT_FALSE(menu.CursorVisible());
  EXPECT_EQ(ColoursAt(menu, 1, 1), kTerminalColours);
  EXPECT_TRUE(MenuRow(menu, 2, "Apple", 1, true, kStartupMenuColours));
  EXPECT_TRUE(MenuRow(menu, 3, "Banana", 1, false, kStartupMenuColours));
  EXPECT_TRUE(MenuRow(menu, 4, "Cherry", 1, false, kStartupMenuColours));
  EXPECT_TRUE(BlankFrom(menu, 5, kDefaultColor));
}

TEST(Menu, QuietDoesNotSilenceTheMenu) {
  PtySession menu({"--menu", "--quiet", "~Apple", "~Banana"});
  ASSERT_TRUE(menu.WaitForRows({"Apple", "Banana", ""}));
  EXPECT_TRUE(MenuRow(menu, 1, "Apple", 1, true, kStartupMenuColours));
  menu.Press("b");
  EXPECT_EQ(menu.WaitForExit(), Exited(2));
}

TEST(Menu, DrawsTheHotkeyWhereTheTildeMarksIt) {
  PtySession menu({"--menu", "E~xit", "Sa~ve", "x~~y~z"});
  ASSERT_TRUE(menu.WaitForRows({"Exit", "Save", "x~yz"}));
  EXPECT_TRUE(MenuRow(menu, 1, "Exit", 2, true, kStartupMenuColours));
  EXPECT_TRUE(MenuRow(menu, 2, "Save", 3, false, kStartupMenuColours));
  EXPECT_TRUE(MenuRow(menu, 3, "x~yz", 4, false, kStartupMenuColours));
}

// Question lines come from standard input; the window has 25 rows.
struct LayoutCase {
  std::string name;
  int questionLines;
  bool questionText;
  int items;
  int linesShown;
};

void PrintTo(const LayoutCase& layout, std::ostream* out) { *out << layout.name; }

class MenuLayout : public testing::TestWithParam<LayoutCase> {};

TEST_P(MenuLayout, PutsQuestionLinesQuestionAndItemsOnTheirRows) {
  const LayoutCase& layout = GetParam();
  TempDir dir;
  SessionOptions options{.args = {"--menu"}};
  if (layout.questionLines > 0) {
    options.stdinFrom = Stdin::kFile;
    options.stdinFile = dir.Write("lines", Joined(Numbered("line ", layout.questionLines)));
  }
  if (layout.questionText) options.args.push_back("--question=Which one?");
  options.args.insert(options.args.end(), kThree.begin() + 1, kThree.begin() + 1 + layout.items);
  const std::vector<std::string>& items = kThreeShown;

  std::vector<std::string> rows = Numbered("line ", layout.linesShown);
  if (layout.questionText) rows.push_back("Which one?");
  const int firstItemRow = static_cast<int>(rows.size()) + 1;
  rows.insert(rows.end(), items.begin(), items.begin() + layout.items);
  rows.resize(25);

  PtySession menu(options);
  ASSERT_TRUE(menu.WaitForRows(rows));
  for (int i = 0; i < layout.items; ++i) {
    EXPECT_TRUE(MenuRow(menu, firstItemRow + i, items[i], kThreeHotkeys[i], i == 0, kStartupMenuColours));
  }
  EXPECT_EQ(menu.ScrolledRows(), 0);
  menu.Press(keys::kEscape);
  EXPECT_EQ(menu.WaitForExit(), Exited(0));
}

INSTANTIATE_TEST_SUITE_P(Menu, MenuLayout,
                         testing::Values(LayoutCase{"ThreeLinesQuestionTwoItems", 3, true, 2, 2},
                                         LayoutCase{"ThirtyLinesThreeItems", 30, false, 3, 22},
                                         LayoutCase{"ThirtyLinesQuestionThreeItems", 30, true, 3, 21},
                                         LayoutCase{"QuestionOnly", 0, true, 3, 0},
                                         LayoutCase{"ItemsOnly", 0, false, 3, 0},
                                         LayoutCase{"TwoLinesNoQuestion", 2, false, 1, 2}),
                         [](const testing::TestParamInfo<LayoutCase>& info) { return info.param.name; });

struct NavigationCase {
  std::string name;
  std::vector<std::string_view> keys;
  int item;  // highlighted afterwards, and chosen by Enter
};

void PrintTo(const NavigationCase& navigation, std::ostream* out) { *out << navigation.name; }

class MenuNavigation : public testing::TestWithParam<NavigationCase> {};

TEST_P(MenuNavigation, MovesTheHighlightAndEnterChoosesIt) {
  PtySession menu(kThree);
  ASSERT_TRUE(menu.WaitForRows(kThreeShown));
  ASSERT_TRUE(WaitForHighlight(menu, 1));
  for (std::string_view key : GetParam().keys) menu.Press(key);
  ASSERT_TRUE(WaitForHighlight(menu, GetParam().item));
  for (int row = 1; row <= 3; ++row) {
    EXPECT_TRUE(
        MenuRow(menu, row, kThreeShown[row - 1], kThreeHotkeys[row - 1], row == GetParam().item, kStartupMenuColours));
  }
  menu.Press(keys::kEnter);
  EXPECT_EQ(menu.WaitForExit(), Exited(GetParam().item));
}

INSTANTIATE_TEST_SUITE_P(
    Menu, MenuNavigation,
    testing::Values(
        NavigationCase{"Nothing", {}, 1}, NavigationCase{"Down", {keys::kDown}, 2},
        NavigationCase{"DownWrapsToTheFirst", {keys::kDown, keys::kDown, keys::kDown}, 1},
        NavigationCase{"UpWrapsToTheLast", {keys::kUp}, 3}, NavigationCase{"UpUp", {keys::kUp, keys::kUp}, 2},
        NavigationCase{"Right", {keys::kRight}, 2}, NavigationCase{"Left", {keys::kLeft}, 3},
        NavigationCase{"End", {keys::kEnd}, 3}, NavigationCase{"PageDown", {keys::kPageDown}, 3},
        NavigationCase{"Home", {keys::kDown, keys::kDown, keys::kHome}, 1},
        NavigationCase{"PageUp", {keys::kDown, keys::kPageUp}, 1},
        NavigationCase{"DownInApplicationMode", {"\x1bOB"}, 2}, NavigationCase{"ShiftDown", {"\x1b[1;2B"}, 2},
        NavigationCase{"HomeAsTilde1", {keys::kUp, "\x1b[1~"}, 1},
        NavigationCase{"HomeAsTilde7", {keys::kUp, "\x1b[7~"}, 1},
        NavigationCase{"HomeAsSs3", {keys::kUp, "\x1bOH"}, 1}, NavigationCase{"EndAsTilde4", {"\x1b[4~"}, 3},
        NavigationCase{"EndAsTilde8", {"\x1b[8~"}, 3}, NavigationCase{"EndAsSs3", {"\x1bOF"}, 3},
        NavigationCase{"IgnoredKeys", {keys::kDown, "x", keys::kF1, keys::kInsert, keys::kDelete, keys::kF5}, 2}),
    [](const testing::TestParamInfo<NavigationCase>& info) { return info.param.name; });

TEST(Menu, ASingleItemStaysHighlighted) {
  PtySession menu({"--menu", "~Only"});
  ASSERT_TRUE(menu.WaitForRow(1, "Only"));
  for (std::string_view key : {keys::kDown, keys::kUp, keys::kEnd, keys::kPageDown, keys::kHome, keys::kRight}) {
    menu.Press(key);
    EXPECT_TRUE(WaitForHighlight(menu, 1));
  }
  menu.Press(keys::kEnter);
  EXPECT_EQ(menu.WaitForExit(), Exited(1));
}

TEST(Menu, AHotkeyChoosesItsItemInEitherCaseWhereverTheHighlightIs) {
  for (const auto& [typed, exitCode] : std::vector<std::pair<std::string, int>>{{"t", 3}, {"T", 3}, {"o", 1}}) {
    PtySession menu({"--menu", "~One", "T~wo", "~Three"});
    ASSERT_TRUE(menu.WaitForRows({"One", "Two", "Three"}));
    menu.Press(keys::kDown);
    ASSERT_TRUE(WaitForHighlight(menu, 2));
    menu.Press(typed);
    EXPECT_EQ(menu.WaitForExit(), Exited(exitCode)) << "typed " << typed;
  }
}

TEST(Menu, TheDefaultItemStartsHighlighted) {
  PtySession menu(With(kThree, {"--default=3"}));
  ASSERT_TRUE(menu.WaitForRows(kThreeShown));
  EXPECT_TRUE(WaitForHighlight(menu, 3));
  menu.Press(keys::kDown);
  EXPECT_TRUE(WaitForHighlight(menu, 1));
  menu.Press(keys::kEnter);
  EXPECT_EQ(menu.WaitForExit(), Exited(1));
}

TEST(Menu, AfterAnyKeyTheMenuWaitsWithoutLimit) {
  PtySession menu(With(kThree, {"--timeout=2"}));
  ASSERT_TRUE(menu.WaitForRows(kThreeShown));
  menu.Press(keys::kDown);
  ASSERT_TRUE(WaitForHighlight(menu, 2));
  const milliseconds pastTheTimeout = 3500ms - menu.Elapsed();
  EXPECT_TRUE(menu.RunsFor(pastTheTimeout)) << "the countdown went on after a key";
  menu.Press(keys::kEnter);
  EXPECT_EQ(menu.WaitForExit(), Exited(2));
}

TEST(Menu, WritesTheQuestionAreaOnlyOnce) {
  TempDir dir;
  SessionOptions options{.args = With(kThree, {"--question=Question 7f3a"}),
                         .stdinFrom = Stdin::kFile,
                         .stdinFile = dir.Write("lines", "Line b2c9\nLine 51de\n")};
  PtySession menu(options);
  // With a question text, one question line fewer is shown.
  ASSERT_TRUE(menu.WaitForRows({"Line b2c9", "Question 7f3a", "One", "Two", "Three", ""}));
  const std::pair<std::string_view, int> moves[] = {{keys::kDown, 4}, {keys::kDown, 5}, {keys::kUp, 4}, {"x", 4}};
  for (const auto& [key, row] : moves) {
    menu.Press(key);
    ASSERT_TRUE(WaitForHighlight(menu, row));
  }
  EXPECT_EQ(Occurrences(menu.Output(), "Line b2c9"), 1u);
  EXPECT_EQ(Occurrences(menu.Output(), "Question 7f3a"), 1u);
  EXPECT_EQ(Occurrences(menu.Output(), "Line 51de"), 0u);
  menu.Press(keys::kEscape);
  EXPECT_EQ(menu.WaitForExit(), Exited(0));
}

struct ColourCase {
  std::string word;
  MenuColours colours;
};

void PrintTo(const ColourCase& colourCase, std::ostream* out) { *out << colourCase.word; }

class MenuColourWord : public testing::TestWithParam<ColourCase> {};

TEST_P(MenuColourWord, ColoursEveryCell) {
  PtySession menu({"--menu", "--color=" + GetParam().word, "--question=Pick a fruit", "~Apple", "~Banana"});
  ASSERT_TRUE(menu.WaitForRows({"Pick a fruit", "Apple", "Banana"}));
  const MenuColours& colours = GetParam().colours;
  EXPECT_EQ(ColoursAt(menu, 1, 1), colours.normal);
  EXPECT_EQ(ColoursAt(menu, 1, 40).bg, colours.normal.bg);
  EXPECT_TRUE(MenuRow(menu, 2, "Apple", 1, true, colours));
  EXPECT_TRUE(MenuRow(menu, 3, "Banana", 1, false, colours));
  EXPECT_TRUE(BlankFrom(menu, 4, colours.normal.bg));
}

// Black hotkeys: the word's hotkey colours are 0.
constexpr MenuColours kBlackHotkeys{Attribute(0x1E), Attribute(0x10), Attribute(0x7E), Attribute(0x70)};

INSTANTIATE_TEST_SUITE_P(
    Menu, MenuColourWord,
    testing::Values(ColourCase{"$00FF7E1E", kYellowOnBlue}, ColourCase{"16743966", kYellowOnBlue},
                    ColourCase{"0x00FF7E1E", kYellowOnBlue}, ColourCase{"$ABFF7E1E", kYellowOnBlue},
                    ColourCase{"$00007E1E", kBlackHotkeys},
                    // Refused: a colour equal to its row's background.
                    ColourCase{"$00FF7E11", kStartupMenuColours}, ColourCase{"$00FF771E", kStartupMenuColours},
                    ColourCase{"$00F17E1E", kStartupMenuColours}, ColourCase{"$007F7E1E", kStartupMenuColours},
                    // Nothing to apply.
                    ColourCase{"0", kStartupMenuColours}, ColourCase{"-1", kStartupMenuColours},
                    ColourCase{"-16", kStartupMenuColours}, ColourCase{"abc", kStartupMenuColours},
                    ColourCase{"12 ", kStartupMenuColours}),
    [](const testing::TestParamInfo<ColourCase>& info) { return "Word" + std::to_string(info.index); });

TEST(Menu, TheColourWordWithoutMenuIsIgnored) {
  PtySession prompt({"--color=$00FF7E1E", "~Yes", "~No"});
  ASSERT_TRUE(prompt.WaitForRow(1, "[YN]"));
  for (int column = 1; column <= 4; ++column) EXPECT_EQ(ColoursAt(prompt, 1, column), kTerminalColours);
  prompt.Press("n");
  EXPECT_EQ(prompt.WaitForExit(), Exited(2));
}

// However the menu is left, the window is blank in the terminal's own
// colours with the cursor visible at the top left.
struct Leaving {
  std::string name;
  std::string key;  // empty: the countdown runs out
  int exitCode;
};

void PrintTo(const Leaving& leaving, std::ostream* out) { *out << leaving.name; }

class MenuLeaving : public testing::TestWithParam<Leaving> {};

TEST_P(MenuLeaving, LeavesABlankWindow) {
  std::vector<std::string> args = {"--menu", "--color=$00FF7E1E", "--question=Pick", "~Apple", "~Banana"};
  if (GetParam().key.empty()) args.push_back("--timeout=1");
  PtySession menu(args);
  ASSERT_TRUE(menu.WaitForRows({"Pick", "Apple", "Banana"}));
  if (!GetParam().key.empty()) menu.Press(GetParam().key);
  EXPECT_EQ(menu.WaitForExit(10s), Exited(GetParam().exitCode));
  EXPECT_TRUE(BlankFrom(menu, 1, kDefaultColor));
  EXPECT_TRUE(menu.CursorVisible());
  EXPECT_EQ(menu.Cursor(), (Position{1, 1}));
  EXPECT_EQ(PenOf(menu), kTerminalColours);
  EXPECT_TRUE(SameSettings(menu.Settings(), menu.InitialSettings()));
}

INSTANTIATE_TEST_SUITE_P(Menu, MenuLeaving,
                         testing::Values(Leaving{"Enter", "\r", 1}, Leaving{"Escape", "\x1b", 0},
                                         Leaving{"Hotkey", "b", 2}, Leaving{"Timeout", "", 1}),
                         [](const testing::TestParamInfo<Leaving>& info) { return info.param.name; });

TEST(Menu, CtrlCRestoresTheTerminalAndEndsBySigint) {
  PtySession menu({"--menu", "--color=$00FF7E1E", "~Apple", "~Banana"});
  ASSERT_TRUE(menu.WaitForRows({"Apple", "Banana"}));
  ASSERT_TRUE(menu.WaitUntilWaiting());
  menu.Type(keys::kCtrlC);
  EXPECT_EQ(menu.WaitForExit(), KilledBy(SIGINT));
  EXPECT_TRUE(SameSettings(menu.Settings(), menu.InitialSettings()));
  EXPECT_TRUE(menu.CursorVisible());
  EXPECT_EQ(PenOf(menu), kTerminalColours);
}

TEST(Menu, AfterCtrlZAndContinueTheMenuIsDrawnAgain) {
  SKIP_UNDER_A_LAUNCHER("valgrind does not stop on SIGTSTP;");
  TempDir dir;
  SessionOptions options{.args = {"--menu", "--question=Pick", "~Apple", "~Banana", "~Cherry"},
                         .stdinFrom = Stdin::kFile,
                         .stdinFile = dir.Write("lines", "A question line\nNot shown: the question takes its row\n")};
  PtySession menu(options);
  ASSERT_TRUE(menu.WaitForRows({"A question line", "Pick", "Apple", "Banana", "Cherry"}));
  menu.Press(keys::kDown);
  ASSERT_TRUE(WaitForHighlight(menu, 4));
  ASSERT_TRUE(menu.WaitUntilWaiting());

  menu.Type(keys::kCtrlZ);
  ASSERT_TRUE(menu.WaitFor([&] { return menu.ProcessState() == 'T'; }, "the menu to stop"));
  EXPECT_TRUE(SameSettings(menu.Settings(), menu.InitialSettings())) << "the shell gets its terminal back";
  EXPECT_TRUE(menu.WaitFor([&] { return menu.CursorVisible(); }, "the cursor shown for the shell", 2s));
  menu.Inject("\x1b[0m\x1b[2J\x1b[H[1]+  Stopped\r\n$ fg\r\n");

  menu.Signal(SIGCONT);
  ASSERT_TRUE(menu.WaitForRows({"A question line", "Pick", "Apple", "Banana", "Cherry", ""}));
  EXPECT_TRUE(WaitForHighlight(menu, 4));
  EXPECT_TRUE(MenuRow(menu, 4, "Banana", 1, true, kStartupMenuColours));
  EXPECT_TRUE(MenuRow(menu, 3, "Apple", 1, false, kStartupMenuColours));
  EXPECT_FALSE(menu.CursorVisible());
  menu.Press(keys::kDown);
  ASSERT_TRUE(WaitForHighlight(menu, 5));
  menu.Press(keys::kEnter);
  EXPECT_EQ(menu.WaitForExit(), Exited(3));
  EXPECT_TRUE(SameSettings(menu.Settings(), menu.InitialSettings()));
}

// More items than rows: the rows show consecutive items, scrolled so that
// the highlighted one is always in view.
class MenuViewport : public testing::Test {
 protected:
  static std::vector<std::string> Items() {
    std::vector<std::string> items = {"--menu"};
    for (int i = 1; i <= 100; ++i) items.push_back(ItemArgument(i));
    return items;
  }
  // Hotkeys from the box-drawing block: a hundred characters without case.
  static std::string Hotkey(int item) { return vexpick::utf8::Encode(U'\u2500' + static_cast<char32_t>(item - 1)); }
  static std::string ItemArgument(int item) { return "Item " + std::to_string(item) + " ~" + Hotkey(item); }
  static std::string ItemText(int item) { return "Item " + std::to_string(item) + " " + Hotkey(item); }
  static std::vector<std::string> Showing(int first) {
    std::vector<std::string> rows;
    for (int item = first; item < first + 25; ++item) rows.push_back(ItemText(item));
    return rows;
  }

  testing::AssertionResult Shows(int firstItem, int highlightedItem) {
    testing::AssertionResult rows = menu_.WaitForRows(Showing(firstItem));
    if (!rows) return rows;
    return WaitForHighlight(menu_, highlightedItem - firstItem + 1);
  }

  PtySession menu_{Items()};
};

TEST_F(MenuViewport, JumpsToTheEnds) {
  ASSERT_TRUE(Shows(1, 1));
  menu_.Press(keys::kUp);
  EXPECT_TRUE(Shows(76, 100));
  menu_.Press(keys::kDown);
  EXPECT_TRUE(Shows(1, 1));
  menu_.Press(keys::kEnd);
  EXPECT_TRUE(Shows(76, 100));
  menu_.Press(keys::kHome);
  EXPECT_TRUE(Shows(1, 1));
  menu_.Press(keys::kPageDown);
  EXPECT_TRUE(Shows(76, 100));
  menu_.Press(keys::kPageUp);
  EXPECT_TRUE(Shows(1, 1));
}

TEST_F(MenuViewport, ScrollsByOneRowPastTheEdge) {
  ASSERT_TRUE(Shows(1, 1));
  for (int item = 2; item <= 25; ++item) menu_.Press(keys::kDown);
  EXPECT_TRUE(Shows(1, 25));
  menu_.Press(keys::kDown);
  EXPECT_TRUE(Shows(2, 26));
  menu_.Press(keys::kDown);
  EXPECT_TRUE(Shows(3, 27));
  for (int item = 26; item >= 3; --item) menu_.Press(keys::kUp);
  EXPECT_TRUE(Shows(3, 3));
  menu_.Press(keys::kUp);
  EXPECT_TRUE(Shows(2, 2));
  menu_.Press(keys::kEnter);
  EXPECT_EQ(menu_.WaitForExit(), Exited(2));
}

TEST_F(MenuViewport, AHotkeyOutOfViewChoosesItsItem) {
  ASSERT_TRUE(Shows(1, 1));
  menu_.Press(Hotkey(60));
  EXPECT_EQ(menu_.WaitForExit(), Exited(60));
}

TEST(Menu, CutsTextsAtTheWindowsWidth) {
  const std::string longLine(120, 'q');
  const std::string longQuestion(100, 'Q');
  const std::string longItem = std::string(150, 'x') + "~K" + std::string(49, 'y');
  TempDir dir;
  SessionOptions options{.args = {"--menu", "--question=" + longQuestion, longItem, "~Short"},
                         .stdinFrom = Stdin::kFile,
                         .stdinFile = dir.Write("lines", longLine + "\nNot shown\n")};
  PtySession menu(options);
  ASSERT_TRUE(
      menu.WaitForRows({longLine.substr(0, 80), longQuestion.substr(0, 80), std::string(80, 'x'), "Short", ""}));
  EXPECT_TRUE(MenuRow(menu, 3, std::string(80, 'x'), 0, true, kStartupMenuColours));
  EXPECT_EQ(menu.ScrolledRows(), 0);
  menu.Press("k");
  EXPECT_EQ(menu.WaitForExit(), Exited(1)) << "the hotkey beyond the cut still chooses its item";
}

TEST(Menu, FillingTheBottomRowDoesNotScrollTheWindow) {
  std::vector<std::string> args = {"--menu"};
  for (int i = 1; i <= 24; ++i) args.push_back("Item " + std::to_string(i) + " ~" + static_cast<char>('a' + i));
  std::string bottom(80, '=');
  bottom.front() = 'z';
  args.push_back("~" + bottom);
  PtySession menu(args);
  ASSERT_TRUE(menu.WaitForRow(25, bottom));
  ASSERT_TRUE(menu.WaitForRow(1, "Item 1 b"));
  EXPECT_EQ(menu.ScrolledRows(), 0);
  menu.Press(keys::kUp);
  ASSERT_TRUE(WaitForHighlight(menu, 25));
  EXPECT_EQ(menu.Row(1), "Item 1 b");
  EXPECT_EQ(menu.ScrolledRows(), 0);
  menu.Press("z");
  EXPECT_EQ(menu.WaitForExit(), Exited(25));
}

}  // namespace
}  // namespace e2e
