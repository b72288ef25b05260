#include "console/ansi_writer.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "console/console.h"

namespace vexpick {
namespace {

// A control sequence with one numeric parameter; 1 is every such
// sequence's default and is left out.
std::string Csi(int parameter, char final) {
  std::string sequence = "\x1b[";
  if (parameter != 1) sequence += std::to_string(parameter);
  sequence += final;
  return sequence;
}

std::string CursorPosition(int column, int row) {
  if (column == 1) return Csi(row, 'H');
  return "\x1b[" + std::to_string(row) + ';' + std::to_string(column) + 'H';
}

std::string Repeated(std::string_view piece, int count) {
  std::string text;
  for (int i = 0; i < count; ++i) text += piece;
  return text;
}

// The PC palette orders red and blue the other way round than ANSI.
int AnsiColour(int pcColour) { return ((pcColour & 1) << 2) | (pcColour & 2) | ((pcColour & 4) >> 2); }

int ForegroundParameter(std::uint8_t attribute) {
  const int colour = attribute & 0x0F;
  return ((colour & 8) != 0 ? 90 : 30) + AnsiColour(colour & 7);
}

int BackgroundParameter(std::uint8_t attribute) {
  const int colour = attribute >> 4;
  return ((colour & 8) != 0 ? 100 : 40) + AnsiColour(colour & 7);
}

// SGR from what the terminal shows to `target`, naming only what changes.
std::string ColourSequence(std::optional<std::uint8_t> shown, std::uint8_t target) {
  if (target == AnsiWriter::kTerminalColours) return "\x1b[m";
  const bool both = !shown || *shown == AnsiWriter::kTerminalColours;
  std::string parameters = shown ? "" : "0;";
  if (both || ForegroundParameter(*shown) != ForegroundParameter(target))
    parameters += std::to_string(ForegroundParameter(target)) + ';';
  if (both || BackgroundParameter(*shown) != BackgroundParameter(target))
    parameters += std::to_string(BackgroundParameter(target)) + ';';
  parameters.pop_back();
  return "\x1b[" + parameters + 'm';
}

bool TakesOneColumn(std::string_view character) {
  if (character.size() == 1) return character[0] >= 0x20 && character[0] < 0x7F;
  return !IsControlCharacter(character) && DisplayWidth(character) == 1;
}

}  // namespace

AnsiWriter::AnsiWriter(int columns, int rows) : columns_(columns), rows_(rows) {}

void AnsiWriter::ShowAttribute() {
  if (shown_ == attribute_) return;
  out_ += ColourSequence(shown_, attribute_);
  shown_ = attribute_;
}

void AnsiWriter::Advance() {
  Cursor& cursor = *cursor_;
  if (cursor.pendingWrap) cursor = {1, std::min(cursor.row + 1, rows_), false};
  if (cursor.column == columns_) {
    cursor.pendingWrap = true;
  } else {
    ++cursor.column;
  }
}

void AnsiWriter::Write(std::string_view text) {
  if (text.empty()) return;
  ShowAttribute();
  out_ += text;
  // Where a character of unsure width leaves the cursor is the terminal's
  // business: the next move is then absolute.
  while (!text.empty() && cursor_) {
    const std::size_t length = CharLength(text);
    if (TakesOneColumn(text.substr(0, length))) {
      Advance();
    } else {
      cursor_.reset();
    }
    text.remove_prefix(length);
  }
}

void AnsiWriter::WriteLine(std::string_view text) {
  Write(text);
  // A line feed at the bottom scrolls, and the new row takes the colours.
  if (!cursor_ || cursor_->row == rows_) ShowAttribute();
  out_ += "\r\n";
  if (cursor_) *cursor_ = {1, std::min(cursor_->row + 1, rows_), false};
}

void AnsiWriter::Clear() {
  ShowAttribute();
  MoveCursor(1, 1);
  out_ += "\x1b[2J";
}

void AnsiWriter::ClearToEndOfRow() {
  // Terminals keep a pending wrap through the erase; the next character
  // must go where the cursor is, so it is set there outright.
  if (cursor_ && cursor_->pendingWrap) MoveCursor(cursor_->column, cursor_->row);
  ShowAttribute();
  out_ += "\x1b[K";
}

std::string AnsiWriter::MoveSequence(int column, int row) const {
  std::string best = CursorPosition(column, row);
  if (!cursor_) return best;
  const Cursor& from = *cursor_;
  const auto consider = [&best](std::string candidate) {
    if (candidate.size() < best.size()) best = std::move(candidate);
  };

  // A pending wrap is left only by moves that set the column outright.
  std::string fromStart = "\r";
  if (column > 1) fromStart += Csi(column - 1, 'C');
  std::vector<std::string> horizontal{std::move(fromStart), Csi(column, 'G')};
  if (!from.pendingWrap) {
    if (column == from.column) horizontal.emplace_back();
    if (column > from.column) horizontal.push_back(Csi(column - from.column, 'C'));
    if (column < from.column) {
      horizontal.push_back(Csi(from.column - column, 'D'));
      horizontal.emplace_back(static_cast<std::size_t>(from.column - column), '\b');
    }
  }
  std::vector<std::string> vertical;
  if (row == from.row) vertical.emplace_back();
  if (row > from.row) vertical.push_back(Csi(row - from.row, 'B'));
  if (row < from.row) {
    vertical.push_back(Csi(from.row - row, 'A'));
    vertical.push_back(Repeated("\x1bM", from.row - row));
  }
  if (row != from.row) vertical.push_back(Csi(row, 'd'));

  for (const std::string& down : vertical)
    for (const std::string& across : horizontal) consider(down + across);
  // Line feeds only where the terminal may also return the carriage.
  if (column == 1 && row > from.row) {
    const bool atStart = from.column == 1 && !from.pendingWrap;
    std::string feeds = atStart ? "" : "\r";
    feeds.append(static_cast<std::size_t>(row - from.row), '\n');
    consider(std::move(feeds));
  }
  return best;
}

void AnsiWriter::MoveCursor(int column, int row) {
  if (column < 1 || column > columns_ || row < 1 || row > rows_) return;
  if (cursor_ && !cursor_->pendingWrap && cursor_->column == column && cursor_->row == row) return;
  out_ += MoveSequence(column, row);
  cursor_ = Cursor{column, row, false};
}

void AnsiWriter::ScrollRows(int top, int bottom, int count) {
  if (top < 1 || bottom > rows_ || top > bottom || count == 0) return;
  const int shift = std::min(std::abs(count), bottom - top + 1);
  const bool up = count > 0;
  const std::string deleteLines = Csi(shift, 'M');
  const std::string insertLines = Csi(shift, 'L');

  struct Way {
    std::string bytes;
    std::optional<Cursor> cursorAfter;
  };
  // Deleting lines at one place and inserting as many at another moves the
  // rows between and leaves every other row where it was.
  const int gap = bottom - shift + 1;
  std::vector<Way> ways{
      {up ? MoveSequence(1, top) + deleteLines + CursorPosition(1, gap) + insertLines
          : MoveSequence(1, gap) + deleteLines + CursorPosition(1, top) + insertLines,
       std::nullopt},
  };
  if (bottom == rows_) ways.push_back({MoveSequence(1, top) + (up ? deleteLines : insertLines), std::nullopt});
  if (top == 1 && bottom == rows_ && !(cursor_ && cursor_->pendingWrap))
    ways.push_back({Csi(shift, up ? 'S' : 'T'), cursor_});
  if (top < bottom) {
    // Setting and resetting the scroll region both home the cursor.
    ways.push_back(
        {"\x1b[" + std::to_string(top) + ';' + std::to_string(bottom) + 'r' + Csi(shift, up ? 'S' : 'T') + "\x1b[r",
         Cursor{1, 1, false}});
  }
  const Way& shortest = *std::min_element(ways.begin(), ways.end(),
                                          [](const Way& a, const Way& b) { return a.bytes.size() < b.bytes.size(); });
  ShowAttribute();
  out_ += shortest.bytes;
  cursor_ = shortest.cursorAfter;
}

void AnsiWriter::SetCursorVisible(bool visible) {
  if (visible == cursorVisible_) return;
  out_ += visible ? "\x1b[?25h" : "\x1b[?25l";
  cursorVisible_ = visible;
}

void AnsiWriter::Forget() {
  cursor_.reset();
  if (shown_ != kTerminalColours) shown_.reset();
}

void AnsiWriter::Restore() {
  if (!InTerminalColours()) {
    out_ += "\x1b[m";
    shown_ = kTerminalColours;
  }
  SetCursorVisible(true);
}

}  // namespace vexpick
