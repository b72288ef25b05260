#include "support/fake_console.h"

#include <algorithm>
#include <cstdio>
#include <stdexcept>

namespace vexpick::testing {

FakeConsole::FakeConsole(int columns, int rows, std::uint8_t attribute)
    : columns_(columns), rows_(rows), startAttribute_(attribute), attribute_(attribute) {
  cells_.assign(static_cast<std::size_t>(rows), std::vector<Cell>(static_cast<std::size_t>(columns)));
  for (auto& row : cells_)
    for (auto& cell : row) cell.attribute = attribute;
}

void FakeConsole::SetAttribute(std::uint8_t attribute) {
  char text[16];
  std::snprintf(text, sizeof text, "attr %02X", attribute);
  calls.emplace_back(text);
  attribute_ = attribute;
}

void FakeConsole::SetCursorVisible(bool visible) {
  calls.emplace_back(visible ? "cursor on" : "cursor off");
  cursorVisible = visible;
}

void FakeConsole::SetLineWrap(bool enabled) {
  calls.emplace_back(enabled ? "wrap on" : "wrap off");
  lineWrap = enabled;
}

void FakeConsole::NewLine() {
  cursorColumn = 1;
  pendingWrap_ = false;
  if (cursorRow < rows_) {
    ++cursorRow;
    return;
  }
  cells_.erase(cells_.begin());
  cells_.emplace_back(static_cast<std::size_t>(columns_), Cell{" ", attribute_});
}

// A character of width 0 joins the cell before it; a wide one takes two
// cells and wraps as a whole.
void FakeConsole::PutCharacter(std::string character) {
  const int width = static_cast<int>(DisplayWidth(character));
  if (width == 0) {
    if (cursorColumn > 1 || pendingWrap_) {
      RowCells(cursorRow)[static_cast<std::size_t>(pendingWrap_ ? cursorColumn - 1 : cursorColumn - 2)].text +=
          character;
    }
    return;
  }
  if (pendingWrap_ || cursorColumn + width - 1 > columns_) {
    if (!lineWrap) throw std::logic_error("a character written past the last column");
    NewLine();
  }
  const auto first = RowCells(cursorRow).begin() + (cursorColumn - 1);
  *first = Cell{std::move(character), attribute_};
  std::fill(first + 1, first + std::min(width, columns_ - cursorColumn + 1), Cell{"", attribute_});
  if (cursorColumn + width - 1 < columns_) {
    cursorColumn += width;
  } else {
    cursorColumn = columns_;
    pendingWrap_ = true;
  }
}

void FakeConsole::Write(std::string_view text) {
  calls.push_back("write " + std::string(text));
  WriteText(text);
}

void FakeConsole::WriteText(std::string_view text) {
  output += text;
  while (!text.empty()) {
    const std::size_t length = CharLength(text);
    PutCharacter(std::string(text.substr(0, length)));
    text.remove_prefix(length);
  }
}

void FakeConsole::WriteLine(std::string_view text) {
  calls.push_back("line " + std::string(text));
  WriteText(text);
  output += "\r\n";
  NewLine();
}

void FakeConsole::Clear() {
  calls.emplace_back("clear");
  for (auto& row : cells_) std::fill(row.begin(), row.end(), Cell{" ", attribute_});
  cursorColumn = 1;
  cursorRow = 1;
  pendingWrap_ = false;
}

void FakeConsole::ClearToEndOfRow() {
  calls.emplace_back("eol");
  auto& row = RowCells(cursorRow);
  std::fill(row.begin() + cursorColumn - 1, row.end(), Cell{" ", attribute_});
  pendingWrap_ = false;
}

void FakeConsole::MoveCursor(int column, int row) {
  calls.push_back("move " + std::to_string(column) + "," + std::to_string(row));
  if (column < 1 || column > columns_ || row < 1 || row > rows_) return;
  cursorColumn = column;
  cursorRow = row;
  pendingWrap_ = false;
}

void FakeConsole::ScrollRows(int top, int bottom, int count) {
  calls.push_back("scroll " + std::to_string(top) + "-" + std::to_string(bottom) + " " + std::to_string(count));
  if (top < 1 || bottom > rows_ || top > bottom) throw std::logic_error("ScrollRows outside the window");
  const std::vector<Cell> blank(static_cast<std::size_t>(columns_), Cell{" ", attribute_});
  auto first = cells_.begin() + (top - 1);
  auto last = cells_.begin() + bottom;
  const int height = bottom - top + 1;
  const int shift = std::min(std::abs(count), height);
  if (count > 0) {
    std::rotate(first, first + shift, last);
    std::fill(last - shift, last, blank);
  } else if (count < 0) {
    std::rotate(first, last - shift, last);
    std::fill(first, first + shift, blank);
  }
  pendingWrap_ = false;
}

KeyWait FakeConsole::WaitForKey(Millis deadline) {
  ++waits;
  deadlines.push_back(deadline);
  if (onWait) onWait();
  if (!typedAhead.empty()) return KeyWait::Key;
  if (resumes > 0) {
    --resumes;
    return KeyWait::Resumed;
  }
  if (!keys.empty()) {
    const Millis arrival = now + keyDelay;
    if (deadline != kNoDeadline && arrival > deadline) {
      now = deadline;
      return KeyWait::Deadline;
    }
    now = arrival;
    return KeyWait::Key;
  }
  if (hungUp) return KeyWait::HungUp;
  if (deadline != kNoDeadline) {
    now = std::max(now, deadline);
    return KeyWait::Deadline;
  }
  if (noKeyboard) return KeyWait::NoKeyboard;
  throw std::logic_error("the program waits for a key that the test never types");
}

KeyCode FakeConsole::ReadKey() {
  if (!typedAhead.empty()) {
    const KeyCode key = typedAhead.front();
    typedAhead.pop_front();
    return key;
  }
  if (keys.empty()) throw std::logic_error("ReadKey without a key");
  const KeyCode key = keys.front();
  keys.pop_front();
  return key;
}

std::string FakeConsole::Row(int row) const {
  std::string text;
  for (const Cell& cell : cells_[static_cast<std::size_t>(row - 1)]) text += cell.text;
  text.erase(text.find_last_not_of(' ') + 1);
  return text;
}

std::vector<std::string> FakeConsole::Rows() const {
  std::vector<std::string> rows;
  for (int row = 1; row <= rows_; ++row) rows.push_back(Row(row));
  return rows;
}

const Cell& FakeConsole::At(int column, int row) const {
  return cells_.at(static_cast<std::size_t>(row - 1)).at(static_cast<std::size_t>(column - 1));
}

}  // namespace vexpick::testing
