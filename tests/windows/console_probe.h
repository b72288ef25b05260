// Looks at the real console window and types into its input through the
// console API: what a user would see, and the keys a user would press.
#pragma once

#include <windows.h>

#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>

namespace vexpick::wintest {

// One key as the console reports it.
struct Key {
  WORD virtualKey = 0;
  WORD scanCode = 0;
  char character = 0;
  DWORD state = 0;  // Alt, Ctrl, Shift, Num Lock, the enhanced-key flag
};

Key CharacterKey(char character);  // as typed on a US keyboard
inline constexpr Key kEnter{VK_RETURN, 0x1C, '\r'};
inline constexpr Key kEscape{VK_ESCAPE, 0x01, '\x1b'};
inline constexpr Key kUp{VK_UP, 0x48, 0, ENHANCED_KEY};
inline constexpr Key kDown{VK_DOWN, 0x50, 0, ENHANCED_KEY};
inline constexpr Key kEnd{VK_END, 0x4F, 0, ENHANCED_KEY};
inline constexpr Key kF5{VK_F5, 0x3F, 0};

INPUT_RECORD KeyDown(const Key& key);
INPUT_RECORD KeyUp(const Key& key);

class ConsoleProbe {
 public:
  ConsoleProbe();
  ~ConsoleProbe();
  ConsoleProbe(const ConsoleProbe&) = delete;
  ConsoleProbe& operator=(const ConsoleProbe&) = delete;

  // The window as it is now. Rows and columns are 1-based from its top-left.
  [[nodiscard]] std::string Row(int row) const;  // trailing blanks removed
  [[nodiscard]] std::string Screen() const;      // every row, each ending in "\n"
  [[nodiscard]] WORD Attribute(int column, int row) const;
  [[nodiscard]] COORD Cursor() const;
  [[nodiscard]] CONSOLE_CURSOR_INFO CursorInfo() const;
  [[nodiscard]] WORD CurrentAttribute() const;
  [[nodiscard]] DWORD OutputMode() const;
  [[nodiscard]] int Width() const { return window_.Right - window_.Left + 1; }
  [[nodiscard]] int Height() const { return window_.Bottom - window_.Top + 1; }
  // What Screen() gives for a blank window.
  [[nodiscard]] std::string BlankScreen() const { return std::string(static_cast<std::size_t>(Height()), '\n'); }

  // A blank window in `attribute`, the cursor visible at the top-left, the
  // output mode as a console starts, no keys waiting.
  void Reset(WORD attribute = 0x07);

  void Type(std::initializer_list<INPUT_RECORD> records);
  void Press(const Key& key) { Type({KeyDown(key), KeyUp(key)}); }
  void TypeText(std::string_view text);
  [[nodiscard]] DWORD WaitingEvents() const;

  // Waits until `condition` holds; false after `milliseconds`.
  static bool WaitUntil(const std::function<bool()>& condition, DWORD milliseconds = 10000);
  // Waits until some row of the window contains `text`; false after
  // `milliseconds`.
  bool WaitForText(std::string_view text, DWORD milliseconds = 10000) const;

  [[nodiscard]] HANDLE Input() const { return input_; }
  [[nodiscard]] HANDLE Output() const { return output_; }

 private:
  [[nodiscard]] COORD Cell(int column, int row) const;

  HANDLE input_;
  HANDLE output_;
  SMALL_RECT window_{0, 0, 79, 24};  // the tests never move it
};

}  // namespace vexpick::wintest
