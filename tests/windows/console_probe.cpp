#include "console_probe.h"

#include <vector>

namespace vexpick::wintest {

Key CharacterKey(char character) {
  const SHORT scan = VkKeyScanA(character);
  const auto virtualKey = static_cast<WORD>(scan & 0xFF);
  const DWORD shift = (scan & 0x100) != 0 ? SHIFT_PRESSED : 0;
  return {virtualKey, static_cast<WORD>(MapVirtualKeyA(virtualKey, MAPVK_VK_TO_VSC)), character, shift};
}

namespace {

INPUT_RECORD KeyEvent(const Key& key, bool down) {
  INPUT_RECORD record{};
  record.EventType = KEY_EVENT;
  record.Event.KeyEvent.bKeyDown = down ? TRUE : FALSE;
  record.Event.KeyEvent.wRepeatCount = 1;
  record.Event.KeyEvent.wVirtualKeyCode = key.virtualKey;
  record.Event.KeyEvent.wVirtualScanCode = key.scanCode;
  record.Event.KeyEvent.uChar.AsciiChar = key.character;
  record.Event.KeyEvent.dwControlKeyState = key.state;
  return record;
}

HANDLE OpenConsoleFile(const char* name) {
  return CreateFileA(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                     nullptr);
}

}  // namespace

INPUT_RECORD KeyDown(const Key& key) { return KeyEvent(key, true); }
INPUT_RECORD KeyUp(const Key& key) { return KeyEvent(key, false); }

ConsoleProbe::ConsoleProbe() : input_(OpenConsoleFile("CONIN$")), output_(OpenConsoleFile("CONOUT$")) {
  CONSOLE_SCREEN_BUFFER_INFO info;
  if (GetConsoleScreenBufferInfo(output_, &info) != 0) window_ = info.srWindow;
}

ConsoleProbe::~ConsoleProbe() {
  CloseHandle(input_);
  CloseHandle(output_);
}

COORD ConsoleProbe::Cell(int column, int row) const {
  return {static_cast<SHORT>(window_.Left + column - 1), static_cast<SHORT>(window_.Top + row - 1)};
}

std::string ConsoleProbe::Row(int row) const {
  std::string text(static_cast<std::size_t>(Width()), ' ');
  DWORD read = 0;
  ReadConsoleOutputCharacterA(output_, text.data(), static_cast<DWORD>(text.size()), Cell(1, row), &read);
  text.resize(read);
  text.erase(text.find_last_not_of(' ') + 1);
  return text;
}

std::string ConsoleProbe::Screen() const {
  std::vector<CHAR_INFO> cells(static_cast<std::size_t>(Width() * Height()));
  SMALL_RECT area = window_;
  ReadConsoleOutputA(output_, cells.data(), {static_cast<SHORT>(Width()), static_cast<SHORT>(Height())}, {0, 0}, &area);
  std::string screen;
  for (std::size_t at = 0; at < cells.size(); at += static_cast<std::size_t>(Width())) {
    std::string row;
    for (std::size_t column = 0; column < static_cast<std::size_t>(Width()); ++column)
      row += cells[at + column].Char.AsciiChar;
    row.erase(row.find_last_not_of(' ') + 1);
    screen += row + "\n";
  }
  return screen;
}

WORD ConsoleProbe::Attribute(int column, int row) const {
  WORD attribute = 0;
  DWORD read = 0;
  ReadConsoleOutputAttribute(output_, &attribute, 1, Cell(column, row), &read);
  return attribute;
}

COORD ConsoleProbe::Cursor() const {
  CONSOLE_SCREEN_BUFFER_INFO info{};
  GetConsoleScreenBufferInfo(output_, &info);
  return {static_cast<SHORT>(info.dwCursorPosition.X - info.srWindow.Left + 1),
          static_cast<SHORT>(info.dwCursorPosition.Y - info.srWindow.Top + 1)};
}

CONSOLE_CURSOR_INFO ConsoleProbe::CursorInfo() const {
  CONSOLE_CURSOR_INFO cursor{};
  GetConsoleCursorInfo(output_, &cursor);
  return cursor;
}

WORD ConsoleProbe::CurrentAttribute() const {
  CONSOLE_SCREEN_BUFFER_INFO info{};
  GetConsoleScreenBufferInfo(output_, &info);
  return info.wAttributes;
}

DWORD ConsoleProbe::OutputMode() const {
  DWORD mode = 0;
  GetConsoleMode(output_, &mode);
  return mode;
}

void ConsoleProbe::Reset(WORD attribute) {
  SetConsoleMode(output_, ENABLE_PROCESSED_OUTPUT | ENABLE_WRAP_AT_EOL_OUTPUT);
  SetConsoleTextAttribute(output_, attribute);
  const CONSOLE_CURSOR_INFO cursor{25, TRUE};
  SetConsoleCursorInfo(output_, &cursor);
  DWORD done = 0;
  for (int row = 1; row <= Height(); ++row) {
    FillConsoleOutputCharacterA(output_, ' ', static_cast<DWORD>(Width()), Cell(1, row), &done);
    FillConsoleOutputAttribute(output_, attribute, static_cast<DWORD>(Width()), Cell(1, row), &done);
  }
  SetConsoleCursorPosition(output_, Cell(1, 1));
  FlushConsoleInputBuffer(input_);
}

void ConsoleProbe::Type(std::initializer_list<INPUT_RECORD> records) {
  DWORD written = 0;
  WriteConsoleInputA(input_, records.begin(), static_cast<DWORD>(records.size()), &written);
}

void ConsoleProbe::TypeText(std::string_view text) {
  for (const char character : text) Press(CharacterKey(character));
}

DWORD ConsoleProbe::WaitingEvents() const {
  DWORD count = 0;
  GetNumberOfConsoleInputEvents(input_, &count);
  return count;
}

bool ConsoleProbe::WaitUntil(const std::function<bool()>& condition, DWORD milliseconds) {
  const ULONGLONG deadline = GetTickCount64() + milliseconds;
  for (;;) {
    if (condition()) return true;
    if (GetTickCount64() > deadline) return false;
    Sleep(10);
  }
}

bool ConsoleProbe::WaitForText(std::string_view text, DWORD milliseconds) const {
  return WaitUntil([&] { return Screen().find(text) != std::string::npos; }, milliseconds);
}

}  // namespace vexpick::wintest
