// Encodes console output as VT/xterm control sequences, as few bytes as the
// terminal needs: colours only when they change, and cursor moves as short as
// the tracked cursor position allows. Pure: it only builds the bytes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vexpick {

class AnsiWriter {
 public:
  // Written as the terminal's own colours (SGR 0), so the terminal is left in them.
  static constexpr std::uint8_t kTerminalColours = 0x07;

  AnsiWriter(int columns, int rows);

  void SetAttribute(std::uint8_t attribute) { attribute_ = attribute; }
  void Write(std::string_view text);
  void WriteLine(std::string_view text);
  void Clear();
  void ClearToEndOfRow();
  void MoveCursor(int column, int row);
  void ScrollRows(int top, int bottom, int count);
  void SetCursorVisible(bool visible);
  // Others used the terminal meanwhile: its cursor position and, unless they
  // were the terminal's own, its colours are no longer known.
  void Forget();
  // The terminal's own colours and a visible cursor, if they were changed.
  void Restore();

  [[nodiscard]] bool InTerminalColours() const { return shown_ == kTerminalColours; }
  [[nodiscard]] bool CursorVisible() const { return cursorVisible_; }

  // The bytes built so far; the caller sends them and then clears them.
  [[nodiscard]] const std::string& Output() const { return out_; }
  void ClearOutput() { out_.clear(); }

 private:
  struct Cursor {
    int column;
    int row;
    bool pendingWrap;  // at the last column, the next character goes to the next row
  };

  void ShowAttribute();
  void Advance();
  [[nodiscard]] std::string MoveSequence(int column, int row) const;

  int columns_;
  int rows_;
  std::uint8_t attribute_ = kTerminalColours;
  std::optional<std::uint8_t> shown_ = kTerminalColours;  // what the terminal draws in; unknown when empty
  std::optional<Cursor> cursor_;                          // unknown when empty
  bool cursorVisible_ = true;
  std::string out_;
};

}  // namespace vexpick
