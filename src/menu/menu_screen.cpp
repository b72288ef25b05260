// The full-screen menu: its key loop, its layout and its drawing.
//
// The menu keeps what it has drawn on each item row and rewrites only the
// rows that change, so that a key costs a few bytes and the window ends up
// exactly as a full redraw would leave it.
#include <algorithm>
#include <cstdlib>

#include "menu/menu.h"
#include "safe_text.h"

namespace vexpick {
namespace {

// Rough byte costs of the console operations, to choose between scrolling the
// item rows and rewriting them.
constexpr std::size_t kMoveBytes = 6;
constexpr std::size_t kAttributeBytes = 8;
constexpr std::size_t kScrollBytes = 20;

// Enough of `text` to fill `columns` columns. Every character shows in one
// column at least, but for the rare ones without width, so a few more
// characters than columns nearly always settle where the row is cut.
std::string_view ShownPart(std::string_view text, std::size_t columns) {
  for (std::size_t characters = columns + 1;; characters *= 2) {
    const std::string_view part = text.substr(0, ByteLengthOf(text, characters));
    if (part.size() == text.size() || DisplayWidth(SafeText(part)) > columns) return part;
  }
}

}  // namespace

// Collects the runs of one row, cut at the window's width without splitting
// a character.
class TVexpickMenu::TRowBuilder {
 public:
  explicit TRowBuilder(std::size_t columns) : columns_(columns) {}

  void Add(std::uint8_t attribute, std::string_view text) {
    std::size_t taken = 0;
    while (!full_ && taken < text.size()) {
      const std::string_view character = text.substr(taken, CharLength(text.substr(taken)));
      const std::size_t width = DisplayWidth(character);
      if (image_.Width + width > columns_) {
        full_ = true;
      } else {
        taken += character.size();
        image_.Width += width;
      }
    }
    Append(attribute, text.substr(0, taken));
  }

  [[nodiscard]] TRowImage Image() && { return std::move(image_); }

 private:
  void Append(std::uint8_t attribute, std::string_view text) {
    if (text.empty()) return;
    if (!image_.Runs.empty() && image_.Runs.back().Attribute == attribute) {
      image_.Runs.back().Text += text;
    } else {
      image_.Runs.push_back(TTextRun{attribute, std::string(text)});
    }
  }

  std::size_t columns_;
  bool full_ = false;
  TRowImage image_;
};

// ---------------------------------------------------------------------------
// The key loop

std::int32_t TVexpickMenu::RunMenu() {
  TakeScreen();
  for (;;) {
    DoShowMenu();
    const KeyCode key = GetKey();
    if (MoveHighlight(key)) continue;
    if (const std::optional<std::int32_t> result = ResultOf(key)) {
      Restore_Screen();
      return *result;
    }
  }
}

// The navigation keys; they wrap around at both ends.
bool TVexpickMenu::MoveHighlight(KeyCode key) {
  const std::int32_t last = ItemCount() - 1;
  switch (key) {
    case kKeyHome:
    case kKeyPageUp:
      FDefault = 0;
      return true;
    case kKeyEnd:
    case kKeyPageDown:
      FDefault = last;
      return true;
    case kKeyUp:
    case kKeyLeft:
      FDefault = FDefault > 0 ? FDefault - 1 : last;
      return true;
    case kKeyDown:
    case kKeyRight:
      FDefault = FDefault < last ? FDefault + 1 : 0;
      return true;
    default:
      return false;
  }
}

// ---------------------------------------------------------------------------
// The window

void TVexpickMenu::TakeScreen() {
  Clear_Screen();
  FConsole.SetCursorVisible(false);
  // A text that reaches the last column must not wrap, and the bottom row
  // must not scroll the window.
  FConsole.SetLineWrap(false);
  FMenuOnScreen = true;
}

void TVexpickMenu::Clear_Screen() {
  FConsole.SetAttribute(NormalAttribute());
  FConsole.Clear();
  FShownRows.clear();
}

void TVexpickMenu::Restore_Screen() {
  FConsole.SetAttribute(FOldColor);
  FConsole.SetLineWrap(true);
  FConsole.SetCursorVisible(true);
  FConsole.Clear();
  FShownRows.clear();
  FMenuOnScreen = false;
}

void TVexpickMenu::RedrawMenu() {
  TakeScreen();
  DrawMenu(true);
}

void TVexpickMenu::DoShowMenu() {
  DrawMenu(FFirstMenu);
  FFirstMenu = false;
}

void TVexpickMenu::DrawMenu(bool withQuestionArea) {
  const TMenuLayout layout = MenuLayout();
  if (withQuestionArea) DrawQuestionArea(layout);
  KeepHighlightShown(layout);
  UpdateItemRows(layout);
}

// Question lines from the top, as many as leave a row for each item, one
// fewer when the question text follows them; then the items. With more items
// than rows the question lines give way, and the question text too when the
// window has a single row.
TVexpickMenu::TMenuLayout TVexpickMenu::MenuLayout() const {
  const std::int64_t rows = FConsole.LastRow();
  const std::int64_t items = ItemCount();
  const std::int64_t questionLines = static_cast<std::int64_t>(FQuestionList.size());
  const bool hasQuestion = !FQuestion.empty();
  TMenuLayout layout;
  layout.QuestionLines =
      static_cast<int>(std::max<std::int64_t>(std::min(questionLines, rows - items) - (hasQuestion ? 1 : 0), 0));
  layout.QuestionText = hasQuestion && rows > 1;
  layout.FirstItemRow = layout.QuestionLines + (layout.QuestionText ? 1 : 0) + 1;
  layout.ItemRows = static_cast<int>(std::clamp<std::int64_t>(rows - layout.FirstItemRow + 1, 0, items));
  return layout;
}

void TVexpickMenu::DrawQuestionArea(const TMenuLayout& layout) {
  for (int line = 0; line < layout.QuestionLines; ++line) {
    DrawRow(line + 1, TextRowImage(FQuestionList[static_cast<std::size_t>(line)]), 0);
  }
  if (layout.QuestionText) DrawRow(layout.QuestionLines + 1, TextRowImage(FQuestion), 0);
}

// Scrolls no further than needed to show the highlighted item.
void TVexpickMenu::KeepHighlightShown(const TMenuLayout& layout) {
  if (layout.ItemRows <= 0) return;
  const std::int32_t lowest = std::max(0, FDefault - layout.ItemRows + 1);
  const std::int32_t highest = std::min(FDefault, ItemCount() - layout.ItemRows);
  FTopItem = std::clamp(FTopItem, lowest, highest);
}

bool TVexpickMenu::ShowsWanted(const TShownRow& shown, std::int32_t row) const {
  const std::int32_t item = FTopItem + row;
  return shown.Item == item && shown.Highlighted == (item == FDefault);
}

void TVexpickMenu::UpdateItemRows(const TMenuLayout& layout) {
  FShownRows.resize(static_cast<std::size_t>(layout.ItemRows));
  ScrollItemRowsIfCheaper(layout);
  for (std::int32_t row = 0; row < layout.ItemRows; ++row) {
    TShownRow& shown = FShownRows[static_cast<std::size_t>(row)];
    if (ShowsWanted(shown, row)) continue;
    const std::int32_t item = FTopItem + row;
    TRowImage image = ItemRowImage(item);
    if (image != shown.Image) DrawRow(layout.FirstItemRow + row, image, shown.Image.Width);
    shown = TShownRow{item, item == FDefault, std::move(image)};
  }
  FShownTop = FTopItem;
}

// When the view moved by less than its height, scrolling the rows that stay
// and drawing the rest may cost less than drawing every row anew.
void TVexpickMenu::ScrollItemRowsIfCheaper(const TMenuLayout& layout) {
  const std::int32_t shift = FTopItem - FShownTop;
  if (shift == 0 || std::abs(shift) >= layout.ItemRows) return;
  std::vector<TShownRow> scrolled(FShownRows.size());
  for (std::int32_t row = 0; row < layout.ItemRows; ++row) {
    const std::int32_t from = row + shift;
    if (from >= 0 && from < layout.ItemRows)
      scrolled[static_cast<std::size_t>(row)] = FShownRows[static_cast<std::size_t>(from)];
  }
  if (kScrollBytes + RedrawCost(scrolled) >= RedrawCost(FShownRows)) return;
  // The rows that come free are blank in the current attribute.
  FConsole.SetAttribute(NormalAttribute());
  FConsole.ScrollRows(layout.FirstItemRow, layout.FirstItemRow + layout.ItemRows - 1, shift);
  FShownRows = std::move(scrolled);
}

std::size_t TVexpickMenu::RedrawCost(const std::vector<TShownRow>& shown) const {
  std::size_t bytes = 0;
  for (std::int32_t row = 0; row < static_cast<std::int32_t>(shown.size()); ++row) {
    if (ShowsWanted(shown[static_cast<std::size_t>(row)], row)) continue;
    bytes += kMoveBytes;
    for (const TTextRun& run : ItemRowImage(FTopItem + row).Runs) bytes += kAttributeBytes + run.Text.size();
  }
  return bytes;
}

// ---------------------------------------------------------------------------
// Rows

std::size_t TVexpickMenu::WindowColumns() const { return static_cast<std::size_t>(std::max(FConsole.LastColumn(), 0)); }

TVexpickMenu::TRowImage TVexpickMenu::TextRowImage(std::string_view text) const {
  TRowBuilder row(WindowColumns());
  row.Add(NormalAttribute(), SafeText(ShownPart(text, WindowColumns())));
  return std::move(row).Image();
}

TVexpickMenu::TRowImage TVexpickMenu::ItemRowImage(std::int32_t item) const {
  const auto index = static_cast<std::size_t>(item);
  const bool highlighted = item == FDefault;
  const std::uint8_t back = highlighted ? FHighlightBack : FNormalBack;
  const std::uint8_t textAttribute = MakeColor(highlighted ? FHighlightText : FNormalText, back);
  const std::uint8_t hotkeyAttribute = MakeColor(highlighted ? FHighlightChar : FNormalChar, back);

  const std::string_view text = ShownPart(FItemList[index].Text, WindowColumns());
  const std::size_t hotkeyStart = ByteLengthOf(text, static_cast<std::size_t>(FShortcutList[index] - 1));
  const std::size_t hotkeyEnd = hotkeyStart + CharLength(text.substr(hotkeyStart));
  // A character shows the same wherever the text is cut, so the hotkey shows
  // as what it adds to the text before it.
  const std::string before = SafeText(text.substr(0, hotkeyStart));
  const std::string through = SafeText(text.substr(0, hotkeyEnd));
  const std::string whole = SafeText(text);

  TRowBuilder row(WindowColumns());
  row.Add(textAttribute, before);
  row.Add(hotkeyAttribute, std::string_view(through).substr(before.size()));
  row.Add(textAttribute, std::string_view(whole).substr(through.size()));
  return std::move(row).Image();
}

// Writes `image` from column 1 of `row`, and blanks what remains of a wider
// text drawn there before.
void TVexpickMenu::DrawRow(int row, const TRowImage& image, std::size_t widthBefore) {
  if (image.Runs.empty() && widthBefore == 0) return;
  FConsole.MoveCursor(1, row);
  for (const TTextRun& run : image.Runs) {
    FConsole.SetAttribute(run.Attribute);
    FConsole.Write(run.Text);
  }
  if (image.Width < widthBefore) {
    FConsole.SetAttribute(NormalAttribute());
    FConsole.ClearToEndOfRow();
  }
}

}  // namespace vexpick
