// A console in memory for unit tests: a grid of cells with attributes, a
// cursor that wraps and scrolls like a terminal, scripted keys and a clock
// that only moves when the program waits.
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "console/console.h"

namespace vexpick::testing {

struct Cell {
  std::string text = " ";  // empty: the right half of a wide character
  std::uint8_t attribute = 0x07;
  bool operator==(const Cell&) const = default;
};
using Screen = std::vector<std::vector<Cell>>;

class FakeConsole : public Console {
 public:
  explicit FakeConsole(int columns = 80, int rows = 25, std::uint8_t attribute = 0x07);

  // Console
  [[nodiscard]] std::uint8_t StartAttribute() const override { return startAttribute_; }
  [[nodiscard]] int LastColumn() const override { return columns_; }
  [[nodiscard]] int LastRow() const override { return rows_; }
  void SetAttribute(std::uint8_t attribute) override;
  void Write(std::string_view text) override;
  void WriteLine(std::string_view text) override;
  void Clear() override;
  void ClearToEndOfRow() override;
  void MoveCursor(int column, int row) override;
  void ScrollRows(int top, int bottom, int count) override;
  void SetCursorVisible(bool visible) override;
  void SetLineWrap(bool enabled) override;
  void Flush() override { ++flushes; }
  void DiscardKeys() override { typedAhead.clear(); }
  KeyWait WaitForKey(Millis deadline) override;
  KeyCode ReadKey() override;
  void UseConsoleDeviceForKeys() override { ++consoleDeviceSwaps; }
  [[nodiscard]] Millis Now() const override { return now; }

  // The screen as text, one string per row, trailing blanks removed.
  [[nodiscard]] std::string Row(int row) const;  // 1-based
  [[nodiscard]] std::vector<std::string> Rows() const;
  [[nodiscard]] const Cell& At(int column, int row) const;
  [[nodiscard]] const Screen& Cells() const { return cells_; }
  [[nodiscard]] std::uint8_t Attribute() const { return attribute_; }
  // Everything written, as one text (line ends as "\r\n").
  std::string output;

  // Keys: `typedAhead` are waiting already (DiscardKeys drops them);
  // `keys` arrive one per wait, each `keyDelay` ms after the wait began.
  std::deque<KeyCode> typedAhead;
  std::deque<KeyCode> keys;
  Millis keyDelay = 10;
  bool noKeyboard = false;  // with no keys left: no key can ever arrive
  bool hungUp = false;      // with no keys left: the terminal went away
  // Queued waits that report a resume (SIGCONT) before the next key.
  int resumes = 0;
  // Called as each wait begins, when the program has drawn all it means to.
  std::function<void()> onWait;
  // The deadline of each wait, in order.
  std::vector<Millis> deadlines;

  Millis now = 1000;
  int cursorColumn = 1;
  int cursorRow = 1;
  bool cursorVisible = true;
  bool lineWrap = true;
  int flushes = 0;
  int consoleDeviceSwaps = 0;
  int waits = 0;
  // Every call that changes the window, the cursor or the attribute, in
  // order, in short: "attr 70", "move 1,2", "write Yes", "line Yes",
  // "clear", "eol", "scroll 2-25 1", "cursor off", "wrap off".
  std::vector<std::string> calls;

 private:
  void WriteText(std::string_view text);
  void PutCharacter(std::string character);
  void NewLine();
  std::vector<Cell>& RowCells(int row) { return cells_[static_cast<std::size_t>(row - 1)]; }

  int columns_;
  int rows_;
  std::uint8_t startAttribute_;
  std::uint8_t attribute_;
  bool pendingWrap_ = false;
  std::vector<std::vector<Cell>> cells_;
};

}  // namespace vexpick::testing
