// The Win32 console back end against the real console: what it draws is read
// back from the window, keys are typed into the console input.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "console/console.h"
#include "console_probe.h"
#include "temp_file.h"

namespace vexpick {
namespace {

using wintest::ConsoleProbe;
using wintest::Key;
using wintest::TempFile;

class ConsoleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    probe_.Reset();
    console_ = OpenConsole();
  }
  void TearDown() override {
    console_.reset();
    probe_.Reset();
  }

  // A fresh back end that finds the console as `prepare` leaves it.
  template <typename Prepare>
  void Reopen(Prepare prepare) {
    console_.reset();
    prepare();
    console_ = OpenConsole();
  }

  // Every key the back end reports for what was typed, until it has none.
  std::vector<KeyCode> KeysRead() {
    std::vector<KeyCode> keys;
    while (console_->WaitForKey(console_->Now() + 50) == KeyWait::Key) keys.push_back(console_->ReadKey());
    return keys;
  }

  ConsoleProbe probe_;
  std::unique_ptr<Console> console_;
};

TEST_F(ConsoleTest, TakesWindowAttributeAndCursorFromTheConsole) {
  Reopen([this] {
    probe_.Reset(0x1F);
    const CONSOLE_CURSOR_INFO cursor{50, TRUE};
    SetConsoleCursorInfo(probe_.Output(), &cursor);
  });
  EXPECT_EQ(console_->StartAttribute(), 0x1F);
  EXPECT_EQ(console_->LastColumn(), probe_.Width());
  EXPECT_EQ(console_->LastRow(), probe_.Height());
  console_->SetCursorVisible(false);
  console_->Flush();
  EXPECT_FALSE(probe_.CursorInfo().bVisible);
  console_->SetCursorVisible(true);
  console_->Flush();
  EXPECT_TRUE(probe_.CursorInfo().bVisible);
  EXPECT_EQ(probe_.CursorInfo().dwSize, 50u);
}

TEST_F(ConsoleTest, EachCharacterTakesTheAttributeCurrentWhenWritten) {
  console_->SetAttribute(0x1E);
  console_->Write("ab");
  console_->SetAttribute(0x4F);
  console_->WriteLine("c");
  console_->Write("d");
  console_->Flush();
  EXPECT_EQ(probe_.Row(1), "abc");
  EXPECT_EQ(probe_.Attribute(2, 1), 0x1E);
  EXPECT_EQ(probe_.Attribute(3, 1), 0x4F);
  EXPECT_EQ(probe_.Row(2), "d");
  EXPECT_EQ(probe_.Cursor().X, 2);
  EXPECT_EQ(probe_.Cursor().Y, 2);
}

TEST_F(ConsoleTest, TheWindowChangesOnlyWhenTheProgramWaitsForAKey) {
  console_->SetAttribute(0x1E);
  console_->Write("waiting");
  console_->MoveCursor(3, 4);
  console_->SetCursorVisible(false);
  console_->SetLineWrap(false);
  EXPECT_EQ(probe_.Row(1), "");
  EXPECT_EQ(probe_.CurrentAttribute(), 0x07);
  EXPECT_EQ(probe_.Cursor().Y, 1);
  EXPECT_TRUE(probe_.CursorInfo().bVisible);
  EXPECT_NE(probe_.OutputMode() & ENABLE_WRAP_AT_EOL_OUTPUT, 0u);
  console_->WaitForKey(console_->Now());
  EXPECT_EQ(probe_.Row(1), "waiting");
  EXPECT_EQ(probe_.Attribute(1, 1), 0x1E);
  EXPECT_EQ(probe_.Cursor().X, 3);
  EXPECT_EQ(probe_.Cursor().Y, 4);
  EXPECT_FALSE(probe_.CursorInfo().bVisible);
  EXPECT_EQ(probe_.OutputMode() & ENABLE_WRAP_AT_EOL_OUTPUT, 0u);
}

TEST_F(ConsoleTest, LongTextWrapsAtTheLastColumnAndScrollsAtTheLastRow) {
  console_->Write("top");
  console_->MoveCursor(1, probe_.Height());
  console_->Write(std::string(static_cast<std::size_t>(probe_.Width()) + 2, 'w'));
  console_->Flush();
  EXPECT_EQ(probe_.Row(1), "");
  EXPECT_EQ(probe_.Row(probe_.Height() - 1), std::string(static_cast<std::size_t>(probe_.Width()), 'w'));
  EXPECT_EQ(probe_.Row(probe_.Height()), "ww");
}

TEST_F(ConsoleTest, ClearBlanksTheWindowInTheCurrentAttribute) {
  console_->MoveCursor(10, 5);
  console_->Write("old text");
  console_->SetAttribute(0x2A);
  console_->Clear();
  console_->Flush();
  EXPECT_EQ(probe_.Screen(), probe_.BlankScreen());
  EXPECT_EQ(probe_.Attribute(1, 1), 0x2A);
  EXPECT_EQ(probe_.Attribute(probe_.Width(), probe_.Height()), 0x2A);
  EXPECT_EQ(probe_.Cursor().X, 1);
  EXPECT_EQ(probe_.Cursor().Y, 1);
}

TEST_F(ConsoleTest, CursorMovesInsideTheWindowOnly) {
  console_->MoveCursor(5, 3);
  console_->Write("x");
  for (const auto& [column, row] :
       std::vector<std::pair<int, int>>{{0, 1}, {1, 0}, {probe_.Width() + 1, 1}, {1, probe_.Height() + 1}, {-1, -1}}) {
    console_->MoveCursor(column, row);
  }
  console_->Write("y");
  console_->MoveCursor(probe_.Width(), 1);
  console_->Write("z");
  console_->Flush();
  EXPECT_EQ(probe_.Row(3), "    xy");
  EXPECT_EQ(probe_.Row(1), std::string(static_cast<std::size_t>(probe_.Width()) - 1, ' ') + "z");
}

TEST_F(ConsoleTest, ClearToEndOfRowKeepsTheTextBeforeTheCursor) {
  console_->MoveCursor(1, 2);
  console_->Write(std::string(static_cast<std::size_t>(probe_.Width()), 'z'));
  console_->MoveCursor(3, 2);
  console_->SetAttribute(0x30);
  console_->ClearToEndOfRow();
  console_->Flush();
  EXPECT_EQ(probe_.Row(2), "zz");
  EXPECT_EQ(probe_.Attribute(2, 2), 0x07);
  EXPECT_EQ(probe_.Attribute(3, 2), 0x30);
  EXPECT_EQ(probe_.Attribute(probe_.Width(), 2), 0x30);
  EXPECT_EQ(probe_.Row(3), "");
}

struct ScrollCase {
  int top;
  int bottom;
  int count;
  std::vector<std::string> rows;  // rows 1 to 5 afterwards
};

class ScrollTest : public ConsoleTest, public ::testing::WithParamInterface<ScrollCase> {};

TEST_P(ScrollTest, MovesTheRowsAndBlanksTheRowsThatComeFree) {
  const ScrollCase& c = GetParam();
  for (int row = 1; row <= 5; ++row) {
    console_->MoveCursor(1, row);
    console_->Write(std::to_string(row));
  }
  console_->SetAttribute(0x5D);
  console_->ScrollRows(c.top, c.bottom, c.count);
  console_->Flush();
  for (int row = 1; row <= 5; ++row) {
    const std::string& expected = c.rows[static_cast<std::size_t>(row - 1)];
    EXPECT_EQ(probe_.Row(row), expected) << "row " << row;
    if (expected.empty()) {
      EXPECT_EQ(probe_.Attribute(1, row), 0x5D) << "row " << row;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ScrollTest,
    ::testing::Values(ScrollCase{2, 4, 1, {"1", "3", "4", "", "5"}}, ScrollCase{2, 4, -1, {"1", "", "2", "3", "5"}},
                      ScrollCase{1, 5, 2, {"3", "4", "5", "", ""}}, ScrollCase{2, 4, 3, {"1", "", "", "", "5"}},
                      ScrollCase{2, 4, -9, {"1", "", "", "", "5"}}, ScrollCase{2, 4, 0, {"1", "2", "3", "4", "5"}}));

TEST_F(ConsoleTest, WithoutLineWrapTheLastColumnNeverScrollsTheWindow) {
  console_->Write("top");
  console_->SetLineWrap(false);
  console_->MoveCursor(1, probe_.Height());
  console_->Write(std::string(static_cast<std::size_t>(probe_.Width()), 'b'));
  console_->Flush();
  EXPECT_EQ(probe_.OutputMode() & ENABLE_WRAP_AT_EOL_OUTPUT, 0u);
  EXPECT_EQ(probe_.Row(1), "top");
  EXPECT_EQ(probe_.Row(probe_.Height()), std::string(static_cast<std::size_t>(probe_.Width()), 'b'));
  console_->SetLineWrap(true);
  console_->Flush();
  EXPECT_NE(probe_.OutputMode() & ENABLE_WRAP_AT_EOL_OUTPUT, 0u);
}

TEST_F(ConsoleTest, ClosingPutsBackAttributeCursorAndLineWrap) {
  console_->SetAttribute(0x4E);
  console_->SetCursorVisible(false);
  console_->SetLineWrap(false);
  console_.reset();
  EXPECT_EQ(probe_.CurrentAttribute(), 0x07);
  EXPECT_TRUE(probe_.CursorInfo().bVisible);
  EXPECT_NE(probe_.OutputMode() & ENABLE_WRAP_AT_EOL_OUTPUT, 0u);
}

// ---------------------------------------------------------------------------
// Keys

INPUT_RECORD Down(Key key) { return wintest::KeyDown(key); }
INPUT_RECORD Up(Key key) { return wintest::KeyUp(key); }

constexpr Key kLeftAlt{VK_MENU, 0x38, 0, LEFT_ALT_PRESSED};
constexpr Key kShift{VK_SHIFT, 0x2A, 0, SHIFT_PRESSED};

struct KeyCase {
  const char* name;
  std::vector<INPUT_RECORD> typed;
  std::vector<KeyCode> read;
};

std::ostream& operator<<(std::ostream& out, const KeyCase& c) { return out << c.name; }

INPUT_RECORD Focus() {
  INPUT_RECORD record{};
  record.EventType = FOCUS_EVENT;
  record.Event.FocusEvent.bSetFocus = TRUE;
  return record;
}

INPUT_RECORD MouseMove() {
  INPUT_RECORD record{};
  record.EventType = MOUSE_EVENT;
  record.Event.MouseEvent.dwEventFlags = MOUSE_MOVED;
  return record;
}

std::vector<KeyCase> KeyCases() {
  const Key a = wintest::CharacterKey('a');
  const Key altA{'A', 0x1E, 0, LEFT_ALT_PRESSED};
  const Key numpad6{VK_NUMPAD6, 0x4D, 0, LEFT_ALT_PRESSED | NUMLOCK_ON};
  const Key numpad5{VK_NUMPAD5, 0x4C, 0, LEFT_ALT_PRESSED | NUMLOCK_ON};
  const Key altReleased{VK_MENU, 0x38, 'A', NUMLOCK_ON};
  return {
      {"character", {Down(a), Up(a)}, {'a'}},
      {"character from the upper half", {Down({0, 0, '\xE4'})}, {0xE4}},
      {"control character", {Down({'A', 0x1E, '\x01', LEFT_CTRL_PRESSED})}, {1}},
      {"enter", {Down(wintest::kEnter)}, {kKeyEnter}},
      {"keypad enter", {Down({VK_RETURN, 0x1C, '\r', ENHANCED_KEY})}, {kKeyEnter}},
      {"escape", {Down(wintest::kEscape)}, {kKeyEscape}},
      {"cursor block",
       {Down({VK_HOME, 0x47, 0, ENHANCED_KEY}), Down(wintest::kUp), Down({VK_PRIOR, 0x49, 0, ENHANCED_KEY}),
        Down({VK_LEFT, 0x4B, 0, ENHANCED_KEY}), Down({VK_RIGHT, 0x4D, 0, ENHANCED_KEY}), Down(wintest::kEnd),
        Down(wintest::kDown), Down({VK_NEXT, 0x51, 0, ENHANCED_KEY}), Down({VK_INSERT, 0x52, 0, ENHANCED_KEY}),
        Down({VK_DELETE, 0x53, 0, ENHANCED_KEY})},
       {kKeyHome, kKeyUp, kKeyPageUp, kKeyLeft, kKeyRight, kKeyEnd, kKeyDown, kKeyPageDown, kKeyInsert, kKeyDelete}},
      {"keypad without num lock", {Down({VK_HOME, 0x47, 0, 0}), Down({VK_DOWN, 0x50, 0, 0})}, {kKeyHome, kKeyDown}},
      {"shifted cursor key", {Down(kShift), Down({VK_DOWN, 0x50, 0, SHIFT_PRESSED | ENHANCED_KEY})}, {kKeyDown}},
      {"function keys",
       {Down({VK_F1, 0x3B, 0, 0}), Down({VK_F10, 0x44, 0, 0}), Down({VK_F11, 0x57, 0, 0}), Down({VK_F12, 0x58, 0, 0})},
       {kKeyF1, ExtendedKey(68), kKeyF11, kKeyF12}},
      {"left alt with a letter",
       {Down(kLeftAlt), Down(altA), Up(altA), Up({VK_MENU, 0x38, 0, 0})},
       {ExtendedKey(0x1E)}},
      {"right alt makes characters", {Down({'Q', 0x10, '@', RIGHT_ALT_PRESSED | LEFT_CTRL_PRESSED})}, {'@'}},
      {"keypad divide", {Down({VK_DIVIDE, 0x35, '/', ENHANCED_KEY})}, {ExtendedKey(0x35)}},
      {"alt and keypad digits give the character at alt's release",
       {Down(kLeftAlt), Down(numpad6), Up(numpad6), Down(numpad5), Up(numpad5), Up(altReleased)},
       {'A'}},
      {"modifiers alone give nothing",
       {Down(kShift), Up(kShift), Down({VK_CONTROL, 0x1D, 0, LEFT_CTRL_PRESSED}), Down(kLeftAlt),
        Up({VK_MENU, 0x38, 0, 0}), Down({VK_CAPITAL, 0x3A, 0, 0}), Down({VK_NUMLOCK, 0x45, 0, ENHANCED_KEY}),
        Down({VK_SCROLL, 0x46, 0, 0})},
       {}},
      {"releases and other events give nothing", {Up(a), Focus(), MouseMove(), Down(a)}, {'a'}},
  };
}

class KeyTest : public ConsoleTest, public ::testing::WithParamInterface<KeyCase> {};

TEST_P(KeyTest, TranslatesConsoleKeyEvents) {
  DWORD written = 0;
  WriteConsoleInputA(probe_.Input(), GetParam().typed.data(), static_cast<DWORD>(GetParam().typed.size()), &written);
  EXPECT_EQ(KeysRead(), GetParam().read);
  EXPECT_EQ(probe_.WaitingEvents(), 0u) << "every event is used up";
}

INSTANTIATE_TEST_SUITE_P(Cases, KeyTest, ::testing::ValuesIn(KeyCases()));

TEST_F(ConsoleTest, WaitEndsAtTheDeadlineWhenOnlyOtherEventsArrive) {
  probe_.Type({Focus(), Up(wintest::CharacterKey('q'))});
  const Millis start = console_->Now();
  EXPECT_EQ(console_->WaitForKey(start + 300), KeyWait::Deadline);
  const Millis waited = console_->Now() - start;
  EXPECT_GE(waited, 280);
  EXPECT_LT(waited, 3000);
}

TEST_F(ConsoleTest, AKeyEndsTheWaitAtOnce) {
  std::thread typist([this] {
    Sleep(200);
    probe_.Press(wintest::CharacterKey('k'));
  });
  const Millis start = console_->Now();
  EXPECT_EQ(console_->WaitForKey(start + 20000), KeyWait::Key);
  EXPECT_LT(console_->Now() - start, 5000);
  EXPECT_EQ(console_->ReadKey(), KeyCode{'k'});
  typist.join();
}

TEST_F(ConsoleTest, KeysTypedAheadAreDiscarded) {
  probe_.TypeText("ab");
  console_->DiscardKeys();
  EXPECT_EQ(KeysRead(), std::vector<KeyCode>{});
}

// A standard handle (STD_INPUT_HANDLE, ...) replaced for the life of the object.
class StdHandleSwap {
 public:
  StdHandleSwap(DWORD which, HANDLE replacement) : which_(which), saved_(GetStdHandle(which)) {
    SetStdHandle(which_, replacement);
  }
  ~StdHandleSwap() { SetStdHandle(which_, saved_); }
  StdHandleSwap(const StdHandleSwap&) = delete;
  StdHandleSwap& operator=(const StdHandleSwap&) = delete;

 private:
  DWORD which_;
  HANDLE saved_;
};

TEST_F(ConsoleTest, WithoutAConsoleInputNoKeyIsEverPressed) {
  const TempFile file("data");
  const HANDLE handle = file.Open();
  const StdHandleSwap input(STD_INPUT_HANDLE, handle);
  Reopen([] {});
  probe_.TypeText("x");
  EXPECT_EQ(console_->WaitForKey(kNoDeadline), KeyWait::NoKeyboard);
  const Millis start = console_->Now();
  EXPECT_EQ(console_->WaitForKey(start + 200), KeyWait::Deadline);
  EXPECT_GE(console_->Now() - start, 180);
  CloseHandle(handle);
}

TEST_F(ConsoleTest, AfterStandardInputWasReadKeysComeFromTheConsoleDevice) {
  const TempFile file("data");
  const HANDLE handle = file.Open();
  const StdHandleSwap input(STD_INPUT_HANDLE, handle);
  Reopen([] {});
  console_->UseConsoleDeviceForKeys();
  const HANDLE alone = file.Open(GENERIC_READ, 0);
  EXPECT_NE(alone, INVALID_HANDLE_VALUE) << "standard input is closed";
  CloseHandle(alone);
  probe_.TypeText("k");
  EXPECT_EQ(KeysRead(), std::vector<KeyCode>{'k'});
}

// ---------------------------------------------------------------------------
// Characters

TEST(WindowsTextTest, OneByteIsOneCharacterOfOneColumn) {
  EXPECT_EQ(CharLength("\xE4x"), 1u);
  EXPECT_EQ(CharLength(""), 0u);
  EXPECT_EQ(DisplayWidth("\xE4\xC4z"), 3u);
  EXPECT_EQ(KeyText('a'), "a");
  EXPECT_EQ(KeyText(0xE4), "\xE4");
  EXPECT_EQ(KeyText(kKeyUp), "");
  EXPECT_EQ(KeyText(kKeyNone), "");
}

TEST(WindowsTextTest, ControlCharactersAreTheLowBytesAndDelete) {
  for (int byte = 0; byte < 256; ++byte) {
    const std::string character(1, static_cast<char>(byte));
    EXPECT_EQ(IsControlCharacter(character), byte < 32 || byte == 127) << byte;
  }
}

TEST(WindowsTextTest, LetterCaseIsIgnoredByTheUsersLocale) {
  EXPECT_TRUE(SameText("Menu", "mENU"));
  EXPECT_TRUE(SameText("\xE4", "\xC4"));  // a umlaut in the Western code page
  EXPECT_TRUE(SameText("", ""));
  EXPECT_FALSE(SameText("a", "b"));
  EXPECT_FALSE(SameText("a", ""));
  EXPECT_FALSE(SameText("ab", "a"));
  EXPECT_FALSE(SameText("\x01", "\x02"));
}

// ---------------------------------------------------------------------------
// Handles and files

void ExpectRedirected(HANDLE handle, bool redirected) {
  const StdHandleSwap error(STD_ERROR_HANDLE, handle);
  const StdHandleState state = QueryStdHandle(2);
  EXPECT_EQ(state.redirected, redirected);
  EXPECT_EQ(state.handle, HandleToULong(handle));
}

TEST(WindowsHandleTest, OnlyCharacterDevicesAreNotRedirected) {
  const ConsoleProbe probe;
  ExpectRedirected(probe.Output(), false);
  const HANDLE null = CreateFileA("NUL", GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ExpectRedirected(null, false);
  CloseHandle(null);
  const TempFile file("");
  const HANDLE disk = file.Open();
  ExpectRedirected(disk, true);
  CloseHandle(disk);
  HANDLE reading = nullptr;
  HANDLE writing = nullptr;
  CreatePipe(&reading, &writing, nullptr, 0);
  ExpectRedirected(reading, true);
  CloseHandle(reading);
  CloseHandle(writing);
  ExpectRedirected(INVALID_HANDLE_VALUE, true);
  EXPECT_EQ(QueryStdHandle(0).handle, HandleToULong(GetStdHandle(STD_INPUT_HANDLE)));
}

std::string ReadAll(ByteStream& stream) {
  std::string data;
  char buffer[7];
  for (;;) {
    const std::optional<std::size_t> got = stream.Read(buffer, sizeof buffer);
    if (!got) return data + "<failed>";
    if (*got == 0) return data;
    data.append(buffer, *got);
  }
}

TEST(WindowsHandleTest, APipeEndsWhenItsWriterIsDone) {
  HANDLE reading = nullptr;
  HANDLE writing = nullptr;
  ASSERT_TRUE(CreatePipe(&reading, &writing, nullptr, 0));
  DWORD written = 0;
  WriteFile(writing, "line one\r\nline two", 18, &written, nullptr);
  CloseHandle(writing);
  EXPECT_EQ(ReadAll(*OpenHandleStream(HandleToULong(reading))), "line one\r\nline two");
  DWORD flags = 0;
  EXPECT_TRUE(GetHandleInformation(reading, &flags)) << "the caller keeps the handle";
  CloseHandle(reading);
}

TEST(WindowsHandleTest, AnInvalidHandleHasNoData) {
  EXPECT_EQ(ReadAll(*OpenHandleStream(kInvalidHandle)), "");
  HANDLE reading = nullptr;
  HANDLE writing = nullptr;
  ASSERT_TRUE(CreatePipe(&reading, &writing, nullptr, 0));
  CloseHandle(writing);
  CloseHandle(reading);
  EXPECT_EQ(ReadAll(*OpenHandleStream(HandleToULong(reading))), "");
}

TEST(WindowsFileTest, OpensAFileThatAnotherProgramIsWriting) {
  const TempFile file("question\r\n");
  const HANDLE writer = file.Open(GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE);
  const std::unique_ptr<ByteStream> stream = OpenFileStream(file.Path());
  ASSERT_NE(stream, nullptr);
  EXPECT_EQ(ReadAll(*stream), "question\r\n");
  CloseHandle(writer);
}

TEST(WindowsFileTest, RefusesWhatIsNoReadableFile) {
  const std::string directory = wintest::TempDirectory();
  EXPECT_EQ(OpenFileStream(directory), nullptr);
  EXPECT_EQ(OpenFileStream(""), nullptr);
  EXPECT_EQ(OpenFileStream(directory + "no such file.txt"), nullptr);
  EXPECT_EQ(OpenFileStream(std::string("a\0b", 3)), nullptr);
  const TempFile file("held");
  const HANDLE holder = file.Open(GENERIC_WRITE, 0);
  EXPECT_EQ(OpenFileStream(file.Path()), nullptr) << "held without read sharing";
  CloseHandle(holder);
}

}  // namespace
}  // namespace vexpick
