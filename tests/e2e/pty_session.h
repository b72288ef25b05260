// A program run in a pseudo-terminal of its own, its screen kept by libvterm.
//
// The program runs as the foreground job of a new session whose controlling
// terminal is the pty, under a small session leader that plays the shell: it
// waits for the program, lets it stop and continue (Ctrl-Z), and reports its
// status and CPU time. So /dev/tty works, terminal signals reach the program
// and job control behaves as under a real shell.
//
// Rows and columns are 1-based, as the program itself counts them.
#pragma once

#include <sys/types.h>
#include <termios.h>

#include <chrono>
#include <cstddef>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "gtest/gtest.h"

struct VTerm;
struct VTermScreen;

namespace e2e {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;
using namespace std::chrono_literals;

// AddressSanitizer costs the program tens of milliseconds of CPU time as it
// starts and ends.
inline constexpr bool kSanitized =
#if defined(__SANITIZE_ADDRESS__)
    true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
    true;
#else
    false;
#endif
#else
    false;
#endif

// Long enough for a loaded machine and a sanitizer build; a wait ends as soon
// as its condition holds, so a generous deadline costs nothing when all is well.
inline constexpr milliseconds kDeadline = 5s;
// How long a negative check ("nothing more happens") watches.
inline constexpr milliseconds kQuietSpell = 300ms;

// VEXPICK_E2E_LAUNCHER, when set, runs the program under another one, as in
// VEXPICK_E2E_LAUNCHER="valgrind --error-exitcode=99 --leak-check=full -q".
// Every deadline grows by Slowdown(); checks of time and CPU use are left
// out (Timed() is false), but the runs they time still run.
bool UnderLauncher();
int Slowdown();
inline bool Timed() { return !UnderLauncher(); }
#define SKIP_UNDER_A_LAUNCHER(why) \
  if (::e2e::UnderLauncher()) GTEST_SKIP() << why << " under a launcher"

namespace keys {
inline constexpr std::string_view kEnter = "\r";
inline constexpr std::string_view kEscape = "\x1b";
inline constexpr std::string_view kUp = "\x1b[A";
inline constexpr std::string_view kDown = "\x1b[B";
inline constexpr std::string_view kRight = "\x1b[C";
inline constexpr std::string_view kLeft = "\x1b[D";
inline constexpr std::string_view kHome = "\x1b[H";
inline constexpr std::string_view kEnd = "\x1b[F";
inline constexpr std::string_view kPageUp = "\x1b[5~";
inline constexpr std::string_view kPageDown = "\x1b[6~";
inline constexpr std::string_view kInsert = "\x1b[2~";
inline constexpr std::string_view kDelete = "\x1b[3~";
inline constexpr std::string_view kF1 = "\x1bOP";
inline constexpr std::string_view kF5 = "\x1b[15~";
inline constexpr std::string_view kCtrlC = "\x03";
inline constexpr std::string_view kCtrlZ = "\x1a";
}  // namespace keys

enum class Stdin {
  kTerminal,  // the pty, as from an interactive shell
  kFile,      // SessionOptions::stdinFile
  kPipe,      // a pipe the test writes with WriteStdin and ends with CloseStdin
  kDevNull,
  kClosed,
};

enum class Stdout { kTerminal, kFile };

// What the session leader does when the terminal hangs up.
enum class Hangup {
  kForward,  // send SIGHUP on to the program, as a shell does
  kIgnore,   // the program learns of it only from its terminal
};

struct SessionOptions {
  std::vector<std::string> args{};
  int columns = 80;
  int rows = 25;
  // The terminal tells the program its size as 0 x 0.
  bool hidesSize = false;
  Stdin stdinFrom = Stdin::kTerminal;
  std::string stdinFile{};
  Stdout stdoutTo = Stdout::kTerminal;
  std::string stdoutFile{};
  // Typed into the terminal before the program starts.
  std::string typeahead{};
  Hangup hangup = Hangup::kForward;
  // Empty: the built program. The arguments follow it.
  std::string program{};
};

struct ExitStatus {
  bool exited = false;  // false: killed by a signal
  int code = 0;         // exit code, or the signal number

  friend bool operator==(const ExitStatus&, const ExitStatus&) = default;
  friend void PrintTo(const ExitStatus& status, std::ostream* out);
};
inline ExitStatus Exited(int code) { return {true, code}; }
inline ExitStatus KilledBy(int signal) { return {false, signal}; }

inline constexpr int kDefaultColor = -1;  // the terminal's own colour
inline constexpr int kRgbColor = -2;      // a direct colour, not from the palette

struct Cell {
  std::string text;  // UTF-8; a blank for an empty cell
  int fg = kDefaultColor;
  int bg = kDefaultColor;  // palette indexes 0-255, or the two values above
};

struct Position {
  int row = 0;
  int column = 0;
  friend bool operator==(const Position&, const Position&) = default;
  friend void PrintTo(const Position& position, std::ostream* out);
};

// The terminal settings that a program must leave as it found them.
bool SameSettings(const termios& a, const termios& b);

// A directory for a test's files, removed with everything in it.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  [[nodiscard]] const std::string& path() const { return path_; }
  // Writes `content` to the file `name` in this directory; returns its path.
  std::string Write(std::string_view name, std::string_view content) const;
  [[nodiscard]] std::string PathOf(std::string_view name) const;

 private:
  std::string path_;
};

std::string ReadFile(const std::string& path);

class PtySession {
 public:
  explicit PtySession(SessionOptions options);
  // Shorthand for a session with default options and these arguments.
  explicit PtySession(std::vector<std::string> args);
  ~PtySession();
  PtySession(const PtySession&) = delete;
  PtySession& operator=(const PtySession&) = delete;

  // --- The screen as the terminal shows it now.
  [[nodiscard]] int rows() const { return rows_; }
  [[nodiscard]] int columns() const { return columns_; }
  // The row's characters with trailing blanks removed.
  [[nodiscard]] std::string Row(int row) const;
  [[nodiscard]] Cell CellAt(int row, int column) const;
  [[nodiscard]] Position Cursor() const;
  [[nodiscard]] bool CursorVisible() const { return cursorVisible_; }
  [[nodiscard]] const std::string& Title() const { return title_; }
  // Rows pushed off the top of the screen by scrolling.
  [[nodiscard]] int ScrolledRows() const { return scrolledRows_; }
  [[nodiscard]] bool ScreenBlank() const;
  // Rows and the cursor, for failure messages.
  [[nodiscard]] std::string Dump() const;

  // --- Everything the program wrote to the terminal, raw.
  [[nodiscard]] const std::string& Output() const { return output_; }
  [[nodiscard]] std::size_t Mark() const { return output_.size(); }
  [[nodiscard]] std::string OutputSince(std::size_t mark) const { return output_.substr(mark); }
  // Feeds bytes to the emulator as if another program had written them
  // (a shell's "Stopped" line, a screen clear).
  void Inject(std::string_view bytes);

  // --- Waiting. Each wait reads the terminal and returns once its condition
  // holds or at the deadline (times Slowdown()); the result carries the
  // screen when it fails. A spell is watched for exactly as long as it says.
  testing::AssertionResult WaitFor(const std::function<bool()>& condition, std::string_view what,
                                   milliseconds deadline = kDeadline);
  testing::AssertionResult WaitForRow(int row, std::string_view text, milliseconds deadline = kDeadline);
  testing::AssertionResult WaitForRows(const std::vector<std::string>& rows, milliseconds deadline = kDeadline);
  std::optional<ExitStatus> WaitForExit(milliseconds deadline = kDeadline);
  // Reads the terminal for `spell`; returns the number of bytes that arrived.
  std::size_t BytesWithin(milliseconds spell = kQuietSpell);
  // True when the program is still running after `spell`.
  bool RunsFor(milliseconds spell = kQuietSpell);

  // --- Input.
  // Types `key` once the program sleeps waiting for input, and returns once
  // the program has read it. The program throws away keys typed before it
  // waits (type-ahead), so a test that typed the next key as soon as the
  // screen showed the last one would race with it.
  void Press(std::string_view key);
  // Types at once, whatever the program is doing.
  void Type(std::string_view bytes);
  void WriteStdin(std::string_view bytes);
  void CloseStdin();
  // What is left in the standard-input pipe: the bytes the program did not read.
  std::string UnreadStdin();
  // Closes the pty's master: the terminal hangs up.
  void HangUp();
  // Sends a signal to the program.
  void Signal(int signal) const;

  // --- The process.
  [[nodiscard]] bool HasExited() const { return status_.has_value(); }
  // Time from just before the program was started to when its end was seen.
  [[nodiscard]] milliseconds RunTime() const;
  // Time from just before the program was started to now.
  [[nodiscard]] milliseconds Elapsed() const;
  // CPU time the program has used: so far while it runs, in all once it has ended.
  [[nodiscard]] std::chrono::microseconds CpuTime() const;
  // The state letter of /proc/<pid>/stat: R, S, T (stopped), ...
  [[nodiscard]] char ProcessState() const;
  // Bytes the program has read with read(2) and the like; -1 when not known.
  [[nodiscard]] long BytesRead() const;
  // True while the program sleeps in a system call that waits for input.
  [[nodiscard]] bool WaitsForInput() const;
  testing::AssertionResult WaitUntilWaiting(milliseconds deadline = kDeadline);
  // The terminal's settings when the session began, and now.
  [[nodiscard]] const termios& InitialSettings() const { return initialSettings_; }
  [[nodiscard]] termios Settings() const;

 private:
  [[nodiscard]] std::vector<std::string> Rows() const;
  void StartProgram(const SessionOptions& options);
  void SetUpScreen();
  // Waits at most `wait` for the terminal or the session leader, then reads
  // all the terminal has.
  void Pump(milliseconds wait);
  void DrainTerminal();
  // Reads the terminal for `spell` or until the program ends.
  std::optional<ExitStatus> WatchFor(milliseconds spell);
  void ReadExitReport();

  friend struct ScreenEvents;

  int rows_;
  int columns_;
  int master_ = -1;
  int slave_ = -1;  // kept open so the terminal's settings outlive the program
  int stdinWrite_ = -1;
  int stdinRead_ = -1;  // a second reader, to see what the program left
  int report_ = -1;     // the session leader's reports
  pid_t leaderPid_ = -1;
  pid_t programPid_ = -1;
  Clock::time_point startTime_;
  Clock::time_point endTime_;
  std::optional<ExitStatus> status_;
  std::chrono::microseconds cpuTime_{0};
  termios initialSettings_{};

  VTerm* vterm_ = nullptr;
  VTermScreen* screen_ = nullptr;
  std::string output_;
  std::string title_;
  bool cursorVisible_ = true;
  int scrolledRows_ = 0;
};

}  // namespace e2e
