// The Win32 console back end: the console's screen buffer and input events,
// text in the ANSI code page (one byte is one character), and the process's
// handles and files.
#include <windows.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <limits>

#include "console/console.h"
#include "rparams/rparams.h"

namespace vexpick {
namespace {

// Handles travel through the program as 32-bit values; Windows keeps them
// within 32 bits and sign-extends them, so INVALID_HANDLE_VALUE survives.
HANDLE ToHandle(SystemHandle handle) { return LongToHandle(static_cast<LONG>(handle)); }
SystemHandle FromHandle(HANDLE handle) { return HandleToULong(handle); }

bool IsUsable(HANDLE handle) { return handle != nullptr && handle != INVALID_HANDLE_VALUE; }

bool IsConsoleInput(HANDLE handle) {
  DWORD mode = 0;
  return IsUsable(handle) && GetConsoleMode(handle, &mode) != 0;
}

// ---------------------------------------------------------------------------
// Keys

bool IsModifierKey(WORD virtualKey) {
  switch (virtualKey) {
    case VK_SHIFT:
    case VK_CONTROL:
    case VK_MENU:
    case VK_CAPITAL:
    case VK_NUMLOCK:
    case VK_SCROLL:
      return true;
    default:
      return false;
  }
}

bool IsAltHeld(const KEY_EVENT_RECORD& key) {
  return (key.dwControlKeyState & (LEFT_ALT_PRESSED | RIGHT_ALT_PRESSED)) != 0;
}

// A keypad digit typed while Alt is held is part of a character code; the
// character itself comes with Alt's release.
bool IsAltCodeDigit(const KEY_EVENT_RECORD& key) {
  // The scan codes of the keypad's 0 to 9.
  static constexpr std::array<WORD, 10> kKeypadDigits{0x52, 0x4F, 0x50, 0x51, 0x4B, 0x4C, 0x4D, 0x47, 0x48, 0x49};
  return IsAltHeld(key) && (key.dwControlKeyState & ENHANCED_KEY) == 0 &&
         std::find(kKeypadDigits.begin(), kKeypadDigits.end(), key.wVirtualScanCode) != kKeypadDigits.end();
}

// The second byte of a key without a character: its scan code, except that
// F11 and F12 keep the codes they have always had on the PC.
KeyCode ExtendedKeyOf(const KEY_EVENT_RECORD& key) {
  const auto scanCode = static_cast<std::uint8_t>(key.wVirtualScanCode & 0xFF);
  switch (scanCode) {
    case 0x57:
      return kKeyF11;
    case 0x58:
      return kKeyF12;
    default:
      return ExtendedKey(scanCode);
  }
}

// The key code an input event stands for, if any.
std::optional<KeyCode> TranslateKey(const INPUT_RECORD& record) {
  if (record.EventType != KEY_EVENT) return std::nullopt;
  const KEY_EVENT_RECORD& key = record.Event.KeyEvent;
  const auto character = static_cast<unsigned char>(key.uChar.AsciiChar);
  if (key.bKeyDown == 0) {
    if (key.wVirtualKeyCode == VK_MENU && character != 0) return character;
    return std::nullopt;
  }
  if (IsModifierKey(key.wVirtualKeyCode) || IsAltCodeDigit(key)) return std::nullopt;
  const bool leftAlt = (key.dwControlKeyState & LEFT_ALT_PRESSED) != 0;
  if (character != 0 && !leftAlt && key.wVirtualKeyCode != VK_DIVIDE) return character;
  return ExtendedKeyOf(key);
}

// ---------------------------------------------------------------------------
// The console as the program found it, put back at the end and when Ctrl-C
// or Ctrl-Break ends the process.

struct StartState {
  HANDLE output = INVALID_HANDLE_VALUE;
  WORD attribute = 0x07;
  CONSOLE_CURSOR_INFO cursor{25, TRUE};
  DWORD outputMode = ENABLE_PROCESSED_OUTPUT | ENABLE_WRAP_AT_EOL_OUTPUT;
};

void RestoreConsole(const StartState& state) {
  SetConsoleTextAttribute(state.output, state.attribute);
  SetConsoleCursorInfo(state.output, &state.cursor);
  SetConsoleMode(state.output, state.outputMode);
}

// Read by the break handler, which the system runs on a thread of its own.
std::atomic<const StartState*> gStateToRestore = nullptr;

BOOL WINAPI RestoreOnBreak(DWORD /*event*/) {
  if (const StartState* state = gStateToRestore.load()) RestoreConsole(*state);
  return FALSE;  // the system's own handler then ends the process
}

// ---------------------------------------------------------------------------

class WindowsConsole final : public Console {
 public:
  WindowsConsole() {
    output_ = CreateFileA("CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                          OPEN_EXISTING, 0, nullptr);
    start_.output = output_;
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (GetConsoleScreenBufferInfo(output_, &info) != 0) {
      origin_ = {info.srWindow.Left, info.srWindow.Top};
      width_ = info.srWindow.Right - info.srWindow.Left + 1;
      height_ = info.srWindow.Bottom - info.srWindow.Top + 1;
      start_.attribute = info.wAttributes;
    }
    GetConsoleCursorInfo(output_, &start_.cursor);
    GetConsoleMode(output_, &start_.outputMode);
    attribute_ = start_.attribute;
    SetKeySource(GetStdHandle(STD_INPUT_HANDLE));
    gStateToRestore = &start_;
    SetConsoleCtrlHandler(RestoreOnBreak, TRUE);
  }

  ~WindowsConsole() override {
    Flush();
    SetConsoleCtrlHandler(RestoreOnBreak, FALSE);
    gStateToRestore = nullptr;
    if (IsUsable(output_)) {
      RestoreConsole(start_);
      CloseHandle(output_);
    }
  }

  [[nodiscard]] std::uint8_t StartAttribute() const override {
    return static_cast<std::uint8_t>(start_.attribute & 0xFF);
  }
  [[nodiscard]] int LastColumn() const override { return width_; }
  [[nodiscard]] int LastRow() const override { return height_; }

  // Every change to the window waits for the next Flush, so that the window
  // changes only when the program is about to wait for a key, or ends: keys
  // typed while a screen is still being drawn are not yet expected.
  void SetAttribute(std::uint8_t attribute) override {
    if (attribute == attribute_) return;
    attribute_ = attribute;
    Defer([this, attribute] { SetConsoleTextAttribute(output_, attribute); });
  }

  void Write(std::string_view text) override { text_ += text; }

  void WriteLine(std::string_view text) override {
    text_ += text;
    text_ += "\r\n";
  }

  void Clear() override {
    Defer([this, attribute = attribute_] { ClearWindow(attribute); });
  }

  void ClearToEndOfRow() override {
    Defer([this, attribute = attribute_] { ClearRowFromCursor(attribute); });
  }

  void MoveCursor(int column, int row) override {
    if (column < 1 || column > width_ || row < 1 || row > height_) return;
    Defer([this, column, row] { SetConsoleCursorPosition(output_, CellAt(column, row)); });
  }

  void ScrollRows(int top, int bottom, int count) override {
    if (top < 1 || bottom > height_ || top > bottom || count == 0) return;
    Defer([this, top, bottom, count, attribute = attribute_] { Scroll(top, bottom, count, attribute); });
  }

  void SetCursorVisible(bool visible) override {
    Defer([this, visible] {
      CONSOLE_CURSOR_INFO cursor = start_.cursor;
      cursor.bVisible = visible ? TRUE : FALSE;
      SetConsoleCursorInfo(output_, &cursor);
    });
  }

  void SetLineWrap(bool enabled) override {
    Defer([this, enabled] {
      DWORD mode = 0;
      if (GetConsoleMode(output_, &mode) == 0) return;
      constexpr DWORD kWrap = ENABLE_WRAP_AT_EOL_OUTPUT;
      SetConsoleMode(output_, enabled ? (mode | kWrap) : (mode & ~kWrap));
    });
  }

  void Flush() override {
    DeferText();
    for (const std::function<void()>& change : changes_) change();
    changes_.clear();
  }

  void DiscardKeys() override {
    if (keyboard_ && FlushConsoleInputBuffer(keys_) == 0) keyboard_ = false;
  }

  KeyWait WaitForKey(Millis deadline) override {
    Flush();
    while (keyboard_) {
      if (PeekKey()) return KeyWait::Key;
      if (!keyboard_) break;
      DWORD timeout = INFINITE;
      if (deadline != kNoDeadline) {
        timeout = WaitTimeUntil(deadline);
        if (timeout == 0) return KeyWait::Deadline;
      }
      if (WaitForSingleObject(keys_, timeout) == WAIT_FAILED) keyboard_ = false;
    }
    if (consoleKeys_) return KeyWait::HungUp;  // the console gave keys, then failed
    if (deadline == kNoDeadline) return KeyWait::NoKeyboard;
    Sleep(WaitTimeUntil(deadline));
    return KeyWait::Deadline;
  }

  KeyCode ReadKey() override {
    const std::optional<KeyCode> key = PeekKey();
    if (!key) return kKeyNone;
    INPUT_RECORD record;
    DWORD read = 0;
    ReadConsoleInputA(keys_, &record, 1, &read);
    return *key;
  }

  void UseConsoleDeviceForKeys() override {
    CloseHandle(keys_);
    SetKeySource(CreateFileA("CON", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  }

  [[nodiscard]] Millis Now() const override { return static_cast<Millis>(GetTickCount64()); }

 private:
  // A wait of at most `deadline` - now, never negative.
  [[nodiscard]] DWORD WaitTimeUntil(Millis deadline) const {
    return static_cast<DWORD>(std::clamp<Millis>(deadline - Now(), 0, std::numeric_limits<LONG>::max()));
  }

  void SetKeySource(HANDLE handle) {
    keys_ = handle;
    keyboard_ = IsConsoleInput(handle);
    consoleKeys_ = keyboard_;
  }

  // The key at the head of the input, after dropping the events before it
  // that are no keys (releases, modifiers alone, mouse, focus, resizing).
  std::optional<KeyCode> PeekKey() {
    INPUT_RECORD record;
    DWORD count = 0;
    while (keyboard_) {
      if (PeekConsoleInputA(keys_, &record, 1, &count) == 0) break;
      if (count == 0) return std::nullopt;
      if (const std::optional<KeyCode> key = TranslateKey(record)) return key;
      if (ReadConsoleInputA(keys_, &record, 1, &count) == 0) break;
    }
    keyboard_ = false;
    return std::nullopt;
  }

  void Defer(std::function<void()> change) {
    DeferText();
    changes_.push_back(std::move(change));
  }

  void DeferText() {
    if (text_.empty()) return;
    changes_.push_back([this, text = std::move(text_)] { WriteText(text); });
    text_.clear();
  }

  void WriteText(std::string_view text) {
    // Older consoles refuse very long writes: hand the text over in pieces.
    constexpr std::size_t kPiece = 16 * 1024;
    while (IsUsable(output_) && !text.empty()) {
      const auto size = static_cast<DWORD>(std::min(text.size(), kPiece));
      DWORD written = 0;
      if (WriteConsoleA(output_, text.data(), size, &written, nullptr) == 0 || written == 0) return;
      text.remove_prefix(written);
    }
  }

  void ClearWindow(WORD attribute) {
    // The window may have moved through the buffer since start-up: clear the
    // one the user sees now.
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (GetConsoleScreenBufferInfo(output_, &info) != 0) origin_ = {info.srWindow.Left, info.srWindow.Top};
    for (int row = 1; row <= height_; ++row) FillCells(CellAt(1, row), width_, attribute);
    SetConsoleCursorPosition(output_, origin_);
  }

  void ClearRowFromCursor(WORD attribute) {
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (GetConsoleScreenBufferInfo(output_, &info) == 0) return;
    FillCells(info.dwCursorPosition, origin_.X + width_ - info.dwCursorPosition.X, attribute);
  }

  void Scroll(int top, int bottom, int count, WORD attribute) {
    const int rows = bottom - top + 1;
    if (count >= rows || -count >= rows) {
      for (int row = top; row <= bottom; ++row) FillCells(CellAt(1, row), width_, attribute);
      return;
    }
    // Only the rows that stay visible move, so the destination never lies
    // outside the buffer (which some consoles refuse).
    const int first = count > 0 ? top + count : top;
    const int last = count > 0 ? bottom : bottom + count;
    const SMALL_RECT moving{origin_.X, CellAt(1, first).Y, CellAt(width_, 1).X, CellAt(1, last).Y};
    const SMALL_RECT clip{origin_.X, CellAt(1, top).Y, CellAt(width_, 1).X, CellAt(1, bottom).Y};
    CHAR_INFO blank;
    blank.Char.AsciiChar = ' ';
    blank.Attributes = attribute;
    ScrollConsoleScreenBufferA(output_, &moving, &clip, CellAt(1, first - count), &blank);
  }

  [[nodiscard]] COORD CellAt(int column, int row) const {
    return {static_cast<SHORT>(origin_.X + column - 1), static_cast<SHORT>(origin_.Y + row - 1)};
  }

  void FillCells(COORD first, int count, WORD attribute) {
    if (count <= 0) return;
    DWORD done = 0;
    FillConsoleOutputCharacterA(output_, ' ', static_cast<DWORD>(count), first, &done);
    FillConsoleOutputAttribute(output_, attribute, static_cast<DWORD>(count), first, &done);
  }

  HANDLE output_ = INVALID_HANDLE_VALUE;
  StartState start_;
  COORD origin_{0, 0};
  int width_ = 80;
  int height_ = 25;
  WORD attribute_ = 0x07;  // as the program set it; the window takes it at the next Flush
  std::string text_;
  std::vector<std::function<void()>> changes_;
  HANDLE keys_ = INVALID_HANDLE_VALUE;
  bool consoleKeys_ = false;  // keys_ is a console's input
  bool keyboard_ = false;     // keys can still arrive
};

}  // namespace

std::unique_ptr<Console> OpenConsole() { return std::make_unique<WindowsConsole>(); }

// ---------------------------------------------------------------------------
// Characters: one byte each, in the ANSI code page.

std::size_t CharLength(std::string_view text) { return text.empty() ? 0 : 1; }

std::size_t DisplayWidth(std::string_view text) { return text.size(); }

bool SameText(std::string_view a, std::string_view b) {
  if (a.empty() || b.empty()) return a.empty() && b.empty();
  constexpr std::size_t kLimit = std::numeric_limits<int>::max();
  if (a.size() > kLimit || b.size() > kLimit) return false;
  return CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a.data(), static_cast<int>(a.size()), b.data(),
                        static_cast<int>(b.size())) == CSTR_EQUAL;
}

bool IsControlCharacter(std::string_view character) {
  if (character.empty()) return false;
  const auto byte = static_cast<unsigned char>(character.front());
  return byte < 0x20 || byte == 0x7F;
}

std::string KeyText(KeyCode key) {
  if (key == kKeyNone || key > 0xFF) return {};
  return std::string(1, static_cast<char>(key));
}

// ---------------------------------------------------------------------------
// Process and files

namespace {

// Reads through ReadFile; the handle is closed only when `owned`.
class HandleStream final : public ByteStream {
 public:
  HandleStream(HANDLE handle, bool owned) : handle_(handle), owned_(owned) {}
  ~HandleStream() override {
    if (owned_) CloseHandle(handle_);
  }

  std::optional<std::size_t> Read(char* buffer, std::size_t count) override {
    if (!IsUsable(handle_)) return 0;
    const auto asked = static_cast<DWORD>(std::min<std::size_t>(count, std::numeric_limits<DWORD>::max()));
    DWORD delivered = 0;
    if (ReadFile(handle_, buffer, asked, &delivered, nullptr) != 0) return delivered;
    switch (GetLastError()) {
      case ERROR_BROKEN_PIPE:     // the writer has finished
      case ERROR_INVALID_HANDLE:  // a handle that was never open
        return 0;
      default:
        return std::nullopt;
    }
  }

 private:
  HANDLE handle_;
  bool owned_;
};

}  // namespace

// Split from the command line as typed, so that quotes keep blanks in an
// argument the way the program documents, not the C runtime's way.
std::vector<std::string> ProgramArguments(int /*argc*/, char** /*argv*/) {
  std::vector<std::string> arguments = SplitCommandLine(GetCommandLineA());
  if (!arguments.empty()) arguments.erase(arguments.begin());  // the program's name
  return arguments;
}

StdHandleState QueryStdHandle(int which) {
  static constexpr DWORD kStdHandles[] = {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE};
  if (which < 0 || which > 2) return {};
  const HANDLE handle = GetStdHandle(kStdHandles[which]);
  return {FromHandle(handle), GetFileType(handle) != FILE_TYPE_CHAR};
}

std::unique_ptr<ByteStream> OpenHandleStream(SystemHandle handle) {
  return std::make_unique<HandleStream>(ToHandle(handle), false);
}

std::unique_ptr<ByteStream> OpenFileStream(const std::string& name) {
  if (name.empty() || name.find('\0') != std::string::npos) return nullptr;
  const HANDLE file = CreateFileA(name.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (!IsUsable(file)) return nullptr;
  auto stream = std::make_unique<HandleStream>(file, true);
  BY_HANDLE_FILE_INFORMATION information;
  if (GetFileInformationByHandle(file, &information) != 0 &&
      (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
    return nullptr;
  return stream;
}

}  // namespace vexpick

// ---------------------------------------------------------------------------
// Case keys: a character here is one byte, and the key of a byte is the
// smallest byte that the user's locale finds equal to it with letter case
// ignored. Found on first use of each byte, then kept.

namespace vexpick {
namespace {

char CaseKeyOfByte(char byte) {
  static std::array<std::int16_t, 256> keys = [] {
    std::array<std::int16_t, 256> unknown{};
    unknown.fill(-1);
    return unknown;
  }();
  std::int16_t& key = keys[static_cast<unsigned char>(byte)];
  if (key >= 0) return static_cast<char>(key);
  key = static_cast<unsigned char>(byte);
  for (std::int16_t candidate = 0; candidate < key; ++candidate) {
    const char other = static_cast<char>(candidate);
    if (CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, &other, 1, &byte, 1) == CSTR_EQUAL) key = candidate;
  }
  return static_cast<char>(key);
}

}  // namespace

std::string CaseKey(std::string_view character) {
  std::string key(character);
  for (char& byte : key) byte = CaseKeyOfByte(byte);
  return key;
}

}  // namespace vexpick
