// The console layer: everything the core needs from the platform.
//
// The core (entry, menu, parameter list) only talks to the declarations in
// this header. Each platform provides one implementation file: the POSIX
// terminal back end and the Win32 console back end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vexpick {

// ---------------------------------------------------------------------------
// Key codes
//
// 0 means "no key: the countdown ran out". A key that makes a character is
// the character's code: a byte on Windows, a Unicode code point on POSIX (a
// byte that is not part of valid UTF-8 arrives as 0xDC00 + byte, so it keeps
// its identity). A key without a character is kExtendedKey + its scan code;
// bit 31 keeps these apart from every character, the low 16 bits are the
// classic 0xFF00 + scan code.
using KeyCode = std::uint32_t;

inline constexpr KeyCode kKeyNone = 0;
inline constexpr KeyCode kKeyEnter = 13;
inline constexpr KeyCode kKeyEscape = 27;
inline constexpr KeyCode kExtendedKey = 0x8000FF00;

constexpr KeyCode ExtendedKey(std::uint8_t scanCode) { return kExtendedKey + scanCode; }
constexpr bool IsExtendedKey(KeyCode key) { return key >= kExtendedKey; }

inline constexpr KeyCode kKeyHome = ExtendedKey(71);
inline constexpr KeyCode kKeyUp = ExtendedKey(72);
inline constexpr KeyCode kKeyPageUp = ExtendedKey(73);
inline constexpr KeyCode kKeyLeft = ExtendedKey(75);
inline constexpr KeyCode kKeyRight = ExtendedKey(77);
inline constexpr KeyCode kKeyEnd = ExtendedKey(79);
inline constexpr KeyCode kKeyDown = ExtendedKey(80);
inline constexpr KeyCode kKeyPageDown = ExtendedKey(81);
inline constexpr KeyCode kKeyInsert = ExtendedKey(82);
inline constexpr KeyCode kKeyDelete = ExtendedKey(83);
inline constexpr KeyCode kKeyF1 = ExtendedKey(59);  // F1..F10 are 59..68
inline constexpr KeyCode kKeyF11 = ExtendedKey(133);
inline constexpr KeyCode kKeyF12 = ExtendedKey(134);

// What a wait for a key ended with.
enum class KeyWait {
  Key,         // a key can be read without blocking
  Deadline,    // the deadline passed first
  NoKeyboard,  // no key can ever arrive and there is no deadline to wait for
  HungUp,      // the terminal went away while keys could still come: none ever will
  Resumed,     // the program was stopped and continued: the screen may be lost
};

// Milliseconds on a monotonic clock; only differences mean anything.
using Millis = std::int64_t;
inline constexpr Millis kNoDeadline = -1;

// ---------------------------------------------------------------------------
// The console window and keyboard
class Console {
 public:
  Console() = default;
  Console(const Console&) = delete;
  Console& operator=(const Console&) = delete;
  virtual ~Console() = default;

  // Read once at start-up.
  [[nodiscard]] virtual std::uint8_t StartAttribute() const = 0;
  [[nodiscard]] virtual int LastColumn() const = 0;  // the window's width
  [[nodiscard]] virtual int LastRow() const = 0;     // the window's height

  // Output. Text is buffered and reaches the window by Flush, which every
  // key wait does first.
  virtual void SetAttribute(std::uint8_t attribute) = 0;
  virtual void Write(std::string_view text) = 0;
  virtual void WriteLine(std::string_view text) = 0;  // text, then CR LF
  virtual void Clear() = 0;                           // in the current attribute, cursor to 1,1
  virtual void ClearToEndOfRow() = 0;                 // from the cursor, in the current attribute
  virtual void MoveCursor(int column, int row) = 0;   // 1-based; ignored outside the window
  // Moves rows top..bottom (1-based, inclusive) by `count` rows: up when
  // positive, down when negative. Rows that come free are blank in the current
  // attribute; the cursor position afterwards is unspecified. Ignored unless
  // the rows lie in the window.
  virtual void ScrollRows(int top, int bottom, int count) = 0;
  virtual void SetCursorVisible(bool visible) = 0;
  // While the full-screen menu draws, writing the last column must not wrap.
  virtual void SetLineWrap(bool enabled) = 0;
  virtual void Flush() = 0;

  // Keys.
  virtual void DiscardKeys() = 0;
  virtual KeyWait WaitForKey(Millis deadline) = 0;  // kNoDeadline waits without limit
  virtual KeyCode ReadKey() = 0;                    // only after WaitForKey said Key
  // Standard input was read as data: keys come from the console device now.
  virtual void UseConsoleDeviceForKeys() = 0;

  [[nodiscard]] virtual Millis Now() const = 0;
};

// The console of this process. Never null: without a terminal, output is
// dropped and no key is ever pressed.
std::unique_ptr<Console> OpenConsole();

// ---------------------------------------------------------------------------
// Characters. A character is one UTF-8 code point on POSIX (an invalid byte
// counts as one character) and one byte on Windows.

// The number of bytes of the first character of `text`; 0 for empty text.
std::size_t CharLength(std::string_view text);
// The bytes of the first `characters` characters of `text`; all of it when shorter.
inline std::size_t ByteLengthOf(std::string_view text, std::size_t characters) {
  std::size_t bytes = 0;
  for (; characters > 0 && bytes < text.size(); --characters) bytes += CharLength(text.substr(bytes));
  return bytes;
}
// The columns that `text` takes in the window.
std::size_t DisplayWidth(std::string_view text);
// Equal when letter case is ignored, by the platform's rules.
bool SameText(std::string_view a, std::string_view b);
// A key for looking up a character with its letter case ignored: two
// characters have equal keys exactly when SameText finds them equal.
std::string CaseKey(std::string_view character);
// Whether one character is a control character that must never reach the
// window as it is: bytes 0-31 and 127, and on POSIX also U+0080-U+009F.
bool IsControlCharacter(std::string_view character);
// The text of a character key.
std::string KeyText(KeyCode key);

// ---------------------------------------------------------------------------
// Process and files

// The command-line arguments without the program's own name.
std::vector<std::string> ProgramArguments(int argc, char** argv);

// Standard handles: 0 input, 1 output, 2 error.
using SystemHandle = std::uint32_t;
inline constexpr SystemHandle kInvalidHandle = 0xFFFFFFFF;

struct StdHandleState {
  SystemHandle handle = kInvalidHandle;
  bool redirected = false;  // anything but a character device
};
StdHandleState QueryStdHandle(int which);

// A source of bytes for the question list.
class ByteStream {
 public:
  ByteStream() = default;
  ByteStream(const ByteStream&) = delete;
  ByteStream& operator=(const ByteStream&) = delete;
  virtual ~ByteStream() = default;
  // Up to `count` bytes into `buffer`; 0 at the end of the data; nullopt when
  // the read failed.
  virtual std::optional<std::size_t> Read(char* buffer, std::size_t count) = 0;
};

// A stream over a handle the caller keeps owning.
std::unique_ptr<ByteStream> OpenHandleStream(SystemHandle handle);
// Opens an existing file read-only, sharing read and write; null when it
// cannot be opened (missing, empty name, a directory, no access).
std::unique_ptr<ByteStream> OpenFileStream(const std::string& name);

}  // namespace vexpick
