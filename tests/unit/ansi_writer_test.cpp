// Terminal output is POSIX only.
#ifndef _WIN32
#include "console/ansi_writer.h"

#include <gtest/gtest.h>
#include <vterm.h>

#include <array>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "support/fake_console.h"

namespace vexpick {
namespace {

using Step = std::function<void(AnsiWriter&)>;

// The bytes that `steps` add after `setup` has run.
std::string BytesOf(const std::vector<Step>& setup, const std::vector<Step>& steps) {
  AnsiWriter writer(80, 24);
  for (const Step& step : setup) step(writer);
  writer.ClearOutput();
  for (const Step& step : steps) step(writer);
  return writer.Output();
}

Step Attribute(std::uint8_t attribute) {
  return [attribute](AnsiWriter& writer) { writer.SetAttribute(attribute); };
}
Step Text(std::string text) {
  return [text = std::move(text)](AnsiWriter& writer) { writer.Write(text); };
}
Step Line(std::string text) {
  return [text = std::move(text)](AnsiWriter& writer) { writer.WriteLine(text); };
}
Step Move(int column, int row) {
  return [column, row](AnsiWriter& writer) { writer.MoveCursor(column, row); };
}
Step Scroll(int top, int bottom, int count) {
  return [=](AnsiWriter& writer) { writer.ScrollRows(top, bottom, count); };
}
Step Cursor(bool visible) {
  return [visible](AnsiWriter& writer) { writer.SetCursorVisible(visible); };
}
const Step kClear = [](AnsiWriter& writer) { writer.Clear(); };
const Step kClearRow = [](AnsiWriter& writer) { writer.ClearToEndOfRow(); };
const Step kForget = [](AnsiWriter& writer) { writer.Forget(); };
const Step kRestore = [](AnsiWriter& writer) { writer.Restore(); };

struct BytesCase {
  const char* name;
  std::vector<Step> setup;
  std::vector<Step> steps;
  std::string bytes;
};

class Encoding : public ::testing::TestWithParam<BytesCase> {};

TEST_P(Encoding, IsShortest) { EXPECT_EQ(BytesOf(GetParam().setup, GetParam().steps), GetParam().bytes); }

std::string CaseName(const ::testing::TestParamInfo<BytesCase>& info) { return info.param.name; }

INSTANTIATE_TEST_SUITE_P(
    Colours, Encoding,
    ::testing::Values(
        BytesCase{"StartAttributeIsTerminalColours", {}, {Text("a")}, "a"},
        BytesCase{"BlueIsAnsiFour", {}, {Attribute(0x01), Text("a")}, "\x1b[34;40ma"},
        BytesCase{"RedIsAnsiOne", {}, {Attribute(0x04), Text("a")}, "\x1b[31;40ma"},
        BytesCase{"CyanAndBrownKeepTheirBits", {}, {Attribute(0x63), Text("a")}, "\x1b[36;43ma"},
        BytesCase{"BrightForegroundIsNinety", {}, {Attribute(0x1E), Text("a")}, "\x1b[93;44ma"},
        BytesCase{"BrightBackgroundIsAHundred", {}, {Attribute(0xC9), Text("a")}, "\x1b[94;101ma"},
        BytesCase{"WhiteOnBlackIsExplicitWhenNotStartAttribute", {}, {Attribute(0x0F), Text("a")}, "\x1b[97;40ma"},
        BytesCase{
            "GreyOnBlackIsTerminalColours", {Attribute(0x1F), Text("a")}, {Attribute(0x07), Text("b")}, "\x1b[mb"},
        BytesCase{"OnlyForegroundChanges", {Attribute(0x1F), Text("a")}, {Attribute(0x1E), Text("b")}, "\x1b[93mb"},
        BytesCase{"OnlyBackgroundChanges", {Attribute(0x1F), Text("a")}, {Attribute(0x7F), Text("b")}, "\x1b[47mb"},
        BytesCase{"BothChange", {Attribute(0x1F), Text("a")}, {Attribute(0x70), Text("b")}, "\x1b[30;47mb"},
        BytesCase{"NothingUntilWritten", {}, {Attribute(0x1F)}, ""},
        BytesCase{"UnchangedAttributeNotRepeated", {Attribute(0x1F), Text("a")}, {Attribute(0x1F), Text("b")}, "b"},
        BytesCase{"ChangedAndBackBeforeWriting",
                  {Attribute(0x1F), Text("a")},
                  {Attribute(0x70), Attribute(0x1F), Text("b")},
                  "b"},
        BytesCase{"EmptyTextShowsNothing", {}, {Attribute(0x1F), Text("")}, ""},
        BytesCase{"UnknownColoursAreReset", {Attribute(0x1F), Text("a"), kForget}, {Text("b")}, "\x1b[0;97;44mb"},
        BytesCase{"TerminalColoursSurviveForget", {kForget}, {Text("b")}, "b"},
        BytesCase{"RestoreNothingChanged", {Text("a")}, {kRestore}, ""},
        BytesCase{
            "RestoreColoursAndCursor", {Attribute(0x1F), Text("a"), Cursor(false)}, {kRestore}, "\x1b[m\x1b[?25h"},
        BytesCase{"RestoreAfterOwnReset", {Attribute(0x1F), Text("a"), Attribute(0x07), Text("b")}, {kRestore}, ""},
        BytesCase{"CursorHideShow", {}, {Cursor(false), Cursor(false), Cursor(true)}, "\x1b[?25l\x1b[?25h"}),
    CaseName);

INSTANTIATE_TEST_SUITE_P(
    Moves, Encoding,
    ::testing::Values(
        BytesCase{"UnknownHome", {}, {Move(1, 1)}, "\x1b[H"},
        BytesCase{"UnknownStartOfRow", {}, {Move(1, 7)}, "\x1b[7H"},
        BytesCase{"UnknownAnywhere", {}, {Move(10, 5)}, "\x1b[5;10H"},
        BytesCase{"OutsideIgnored", {Move(3, 3)}, {Move(0, 1), Move(81, 1), Move(1, 0), Move(1, 25)}, ""},
        BytesCase{"AlreadyThere", {Move(3, 3)}, {Move(3, 3)}, ""},
        BytesCase{"NextRowStart", {Move(5, 3)}, {Move(1, 4)}, "\r\n"},
        BytesCase{"NextRowFromStart", {Move(1, 3)}, {Move(1, 4)}, "\n"},
        BytesCase{"StartOfSameRow", {Move(30, 3)}, {Move(1, 3)}, "\r"},
        BytesCase{"BackTwo", {Move(30, 3)}, {Move(28, 3)}, "\b\b"},
        BytesCase{"BackFive", {Move(30, 3)}, {Move(25, 3)}, "\x1b[5D"},
        BytesCase{"ForwardOne", {Move(30, 3)}, {Move(31, 3)}, "\x1b[C"},
        BytesCase{"UpOne", {Move(30, 3)}, {Move(30, 2)}, "\x1bM"},
        BytesCase{"DownOne", {Move(30, 3)}, {Move(30, 4)}, "\x1b[B"},
        BytesCase{"FarAway", {Move(2, 2)}, {Move(70, 20)}, "\x1b[20;70H"},
        BytesCase{"AfterText", {Move(1, 3), Text("Apple")}, {Move(1, 4)}, "\r\n"},
        BytesCase{"PendingWrapNextRow", {Move(75, 3), Text("abcdef")}, {Move(1, 4)}, "\r\n"},
        BytesCase{"PendingWrapSameRow", {Move(75, 3), Text("abcdef")}, {Move(80, 3)}, "\x1b[80G"},
        BytesCase{"WrappedText", {Move(79, 3), Text("abc")}, {Move(1, 5)}, "\r\n"},
        BytesCase{"LastRowNeverScrolls", {Move(5, 24)}, {Move(1, 24)}, "\r"},
        BytesCase{"AfterLine", {Move(9, 3), Line("x")}, {Move(1, 5)}, "\n"},
        BytesCase{"WideTextFallsBackToAbsolute", {Move(1, 3), Text("\xe6\xbc\xa2")}, {Move(1, 4)}, "\x1b[4H"},
        BytesCase{"NarrowNonAsciiTracked", {Move(1, 3), Text("\xc3\xa9")}, {Move(1, 3)}, "\r"},
        BytesCase{"ControlCharacterFallsBackToAbsolute", {Move(1, 3), Text("\t")}, {Move(1, 3)}, "\x1b[3H"}),
    CaseName);

INSTANTIATE_TEST_SUITE_P(
    Erasing, Encoding,
    ::testing::Values(
        BytesCase{"ClearUnknown", {}, {kClear}, "\x1b[H\x1b[2J"},
        BytesCase{"ClearAtHome", {Move(1, 1)}, {kClear}, "\x1b[2J"},
        BytesCase{"ClearInColours", {Move(1, 1)}, {Attribute(0x1F), kClear}, "\x1b[97;44m\x1b[2J"},
        BytesCase{"ClearToEndOfRowInColours", {Move(4, 4)}, {Attribute(0x70), kClearRow}, "\x1b[30;47m\x1b[K"},
        BytesCase{"LineAtBottomShowsColoursFirst", {Move(1, 24)}, {Attribute(0x1F), Line("")}, "\x1b[97;44m\r\n"},
        BytesCase{"LineAboveBottomNeedsNoColours", {Move(1, 3)}, {Attribute(0x1F), Line("")}, "\r\n"}),
    CaseName);

INSTANTIATE_TEST_SUITE_P(
    Scrolling, Encoding,
    ::testing::Values(
        BytesCase{"WholeWindowUp", {}, {Scroll(1, 24, 1)}, "\x1b[S"},
        BytesCase{"WholeWindowDownThree", {}, {Scroll(1, 24, -3)}, "\x1b[3T"},
        BytesCase{"ToBottomUp", {}, {Scroll(3, 24, 1)}, "\x1b[3H\x1b[M"},
        BytesCase{"ToBottomDown", {Move(1, 2)}, {Scroll(3, 24, -2)}, "\n\x1b[2L"},
        BytesCase{"MiddleUp", {}, {Scroll(3, 20, 1)}, "\x1b[3;20r\x1b[S\x1b[r"},
        BytesCase{"MiddleDownInColours", {}, {Attribute(0x1F), Scroll(3, 20, -1)}, "\x1b[97;44m\x1b[3;20r\x1b[T\x1b[r"},
        BytesCase{"SingleRow", {}, {Scroll(5, 5, 1)}, "\x1b[5H\x1b[M\x1b[5H\x1b[L"},
        BytesCase{"CountBeyondHeight", {}, {Scroll(1, 24, 100)}, "\x1b[24S"},
        BytesCase{"Nothing", {}, {Scroll(1, 24, 0), Scroll(0, 3, 1), Scroll(3, 25, 1), Scroll(5, 4, 1)}, ""}),
    CaseName);

// ---------------------------------------------------------------------------
// The writer's bytes drawn by a real terminal emulator must give the screen
// that the console model gives for the same operations.

class Emulator {
 public:
  Emulator(int columns, int rows) : terminal_(vterm_new(rows, columns), vterm_free) {
    vterm_set_utf8(terminal_.get(), 1);
    screen_ = vterm_obtain_screen(terminal_.get());
    vterm_screen_reset(screen_, 1);
  }
  void Feed(const std::string& bytes) { vterm_input_write(terminal_.get(), bytes.data(), bytes.size()); }
  [[nodiscard]] VTermScreenCell Cell(int column, int row) const {
    VTermScreenCell cell{};
    vterm_screen_get_cell(screen_, VTermPos{row - 1, column - 1}, &cell);
    return cell;
  }
  [[nodiscard]] VTermPos Cursor() const {
    VTermPos position{};
    vterm_state_get_cursorpos(vterm_obtain_state(terminal_.get()), &position);
    return position;
  }

 private:
  std::unique_ptr<VTerm, void (*)(VTerm*)> terminal_;
  VTermScreen* screen_;
};

// How a cell of the given attribute looks: -1 is the terminal's own colour.
std::pair<int, int> ExpectedColours(std::uint8_t attribute) {
  if (attribute == AnsiWriter::kTerminalColours) return {-1, -1};
  // The ANSI colour of each PC colour: blue, green, cyan, red, magenta, brown
  // are ANSI 4, 2, 6, 1, 5, 3; the bright bit stays.
  static constexpr std::array<int, 8> kAnsiOfPc{0, 4, 2, 6, 1, 5, 3, 7};
  const auto ansi = [](int pc) { return (pc & 8) | kAnsiOfPc[static_cast<std::size_t>(pc & 7)]; };
  return {ansi(attribute & 0x0F), ansi(attribute >> 4)};
}

std::pair<int, int> ShownColours(const VTermScreenCell& cell) {
  const auto index = [](const VTermColor& colour, bool isDefault) {
    if (isDefault) return -1;
    return VTERM_COLOR_IS_INDEXED(&colour) ? static_cast<int>(colour.indexed.idx) : -2;
  };
  return {index(cell.fg, VTERM_COLOR_IS_DEFAULT_FG(&cell.fg)), index(cell.bg, VTERM_COLOR_IS_DEFAULT_BG(&cell.bg))};
}

std::string CellText(const VTermScreenCell& cell) {
  if (cell.chars[0] == 0) return " ";
  std::string text;
  for (int i = 0; i < VTERM_MAX_CHARS_PER_CELL && cell.chars[i] != 0; ++i) text += KeyText(cell.chars[i]);
  return text;
}

void ExpectSameScreen(const testing::FakeConsole& model, const Emulator& emulator, const std::string& history) {
  for (int row = 1; row <= model.LastRow(); ++row) {
    for (int column = 1; column <= model.LastColumn(); ++column) {
      const VTermScreenCell cell = emulator.Cell(column, row);
      const testing::Cell& expected = model.At(column, row);
      ASSERT_EQ(CellText(cell), expected.text) << "cell " << column << "," << row << " after " << history;
      ASSERT_EQ(ShownColours(cell), ExpectedColours(expected.attribute))
          << "colours of cell " << column << "," << row << " after " << history;
    }
  }
}

using Operation = std::pair<std::string, std::function<void(Console&, AnsiWriter&)>>;

// An operation that makes the same call on the model and on the writer.
template <typename Call>
Operation OnBoth(std::string name, Call call) {
  return {std::move(name), [call](Console& model, AnsiWriter& writer) {
            call(model);
            call(writer);
          }};
}

// Random operations, as the menu and the prompt use them.
class RandomSession {
 public:
  RandomSession(unsigned seed, int columns, int rows) : random_(seed), columns_(columns), rows_(rows) {}

  Operation Next() {
    switch (Pick(0, 9)) {
      case 0:
      case 1: {
        const std::uint8_t attribute = kAttributes[static_cast<std::size_t>(Pick(0, kAttributes.size() - 1))];
        return OnBoth("attribute " + std::to_string(attribute),
                      [attribute](auto& console) { console.SetAttribute(attribute); });
      }
      case 2:
      case 3: {
        const std::string text = Word();
        return OnBoth("write '" + text + "'", [text](auto& console) { console.Write(text); });
      }
      case 4: {
        const std::string text = Word();
        return OnBoth("line '" + text + "'", [text](auto& console) { console.WriteLine(text); });
      }
      case 5:
      case 6: {
        const int column = Pick(0, columns_ + 1);
        const int row = Pick(0, rows_ + 1);
        return OnBoth(MoveName(column, row), [=](auto& console) { console.MoveCursor(column, row); });
      }
      case 7:
        return OnBoth("clear", [](auto& console) { console.Clear(); });
      case 8:
        return OnBoth("clear to end of row", [](auto& console) { console.ClearToEndOfRow(); });
      default: {
        const int top = Pick(1, rows_);
        const int bottom = Pick(top, rows_);
        const int count = Pick(-(bottom - top + 2), bottom - top + 2);
        // The cursor is not known after a scroll.
        const int column = Pick(1, columns_);
        const int row = Pick(1, rows_);
        return OnBoth("scroll " + std::to_string(top) + ".." + std::to_string(bottom) + " by " + std::to_string(count) +
                          ", " + MoveName(column, row),
                      [=](auto& console) {
                        console.ScrollRows(top, bottom, count);
                        console.MoveCursor(column, row);
                      });
      }
    }
  }

 private:
  static constexpr std::array<std::uint8_t, 6> kAttributes{0x07, 0x1F, 0x1E, 0x70, 0x0F, 0xC4};

  int Pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }

  std::string Word() {
    static constexpr std::array<const char*, 6> kPieces{"a", "Zz", " ", "\xc3\xa9", "~", "0123456789"};
    std::string word;
    const int pieces = Pick(0, 2 * columns_ / 3);
    for (int i = 0; i < pieces; ++i) word += kPieces[static_cast<std::size_t>(Pick(0, kPieces.size() - 1))];
    return word;
  }

  static std::string MoveName(int column, int row) {
    return "move " + std::to_string(column) + "," + std::to_string(row);
  }

  std::mt19937 random_;
  int columns_;
  int rows_;
};

struct Window {
  int columns;
  int rows;
};

class AgainstEmulator : public ::testing::TestWithParam<Window> {};

TEST_P(AgainstEmulator, RandomSessionsDrawTheModelsScreen) {
  const Window window = GetParam();
  for (unsigned seed = 1; seed <= 20; ++seed) {
    testing::FakeConsole model(window.columns, window.rows);
    AnsiWriter writer(window.columns, window.rows);
    writer.MoveCursor(1, 1);  // where the model starts
    Emulator emulator(window.columns, window.rows);
    RandomSession session(seed, window.columns, window.rows);
    std::string history;
    for (int step = 0; step < 200; ++step) {
      auto [name, apply] = session.Next();
      history += name + "; ";
      apply(model, writer);
      emulator.Feed(writer.Output());
      writer.ClearOutput();
      ASSERT_NO_FATAL_FAILURE(ExpectSameScreen(model, emulator, "seed " + std::to_string(seed) + ": " + history));
      if (name.rfind("move", 0) == 0 || name.rfind("clear", 0) == 0) {
        const VTermPos cursor = emulator.Cursor();
        ASSERT_EQ(cursor.col + 1, model.cursorColumn) << history;
        ASSERT_EQ(cursor.row + 1, model.cursorRow) << history;
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(AnsiWriter, AgainstEmulator,
                         ::testing::Values(Window{80, 24}, Window{12, 5}, Window{1, 1}, Window{3, 2}, Window{200, 3}));

}  // namespace
}  // namespace vexpick
#endif
