// The POSIX back end: the controlling terminal through termios and VT/xterm
// control sequences, UTF-8 text, and the process's files and handles.
#include <fcntl.h>
#include <locale.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>
#include <wchar.h>
#include <wctype.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>

#include "console/ansi_writer.h"
#include "console/console.h"
#include "console/key_decoder.h"
#include "console/utf8.h"

namespace vexpick {
namespace {

// A UTF-8 C locale of our own: the user's environment never changes how
// letters compare or how wide a character is.
locale_t Utf8Locale() {
  static const locale_t locale = [] {
    locale_t made = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
    return made != static_cast<locale_t>(nullptr) ? made
                                                  : newlocale(LC_CTYPE_MASK, "C", static_cast<locale_t>(nullptr));
  }();
  return locale;
}

char32_t FoldCase(char32_t code) {
  if (code < 0x80) return (code >= 'A' && code <= 'Z') ? code + ('a' - 'A') : code;
  if (utf8::IsInvalidByteCode(code)) return code;
  return static_cast<char32_t>(towlower_l(static_cast<wint_t>(code), Utf8Locale()));
}

int CharColumns(char32_t code) {
  if (code < 0x80 || utf8::IsInvalidByteCode(code)) return 1;
  const locale_t previous = uselocale(Utf8Locale());
  const int width = wcwidth(static_cast<wchar_t>(code));
  uselocale(previous);
  return width < 0 ? 1 : width;
}

}  // namespace

std::size_t CharLength(std::string_view text) { return text.empty() ? 0 : utf8::DecodeFirst(text).length; }

std::size_t DisplayWidth(std::string_view text) {
  std::size_t width = 0;
  while (!text.empty()) {
    const utf8::Decoded character = utf8::DecodeFirst(text);
    width += static_cast<std::size_t>(CharColumns(character.codePoint));
    text.remove_prefix(character.length);
  }
  return width;
}

bool SameText(std::string_view a, std::string_view b) {
  while (!a.empty() && !b.empty()) {
    const utf8::Decoded left = utf8::DecodeFirst(a);
    const utf8::Decoded right = utf8::DecodeFirst(b);
    if (FoldCase(left.codePoint) != FoldCase(right.codePoint)) return false;
    a.remove_prefix(left.length);
    b.remove_prefix(right.length);
  }
  return a.empty() && b.empty();
}

// Any text, not only one character: the folded code points, encoded again.
std::string CaseKey(std::string_view character) {
  std::string key;
  key.reserve(character.size());
  while (!character.empty()) {
    const utf8::Decoded decoded = utf8::DecodeFirst(character);
    key += utf8::Encode(FoldCase(decoded.codePoint));
    character.remove_prefix(decoded.length);
  }
  return key;
}

bool IsControlCharacter(std::string_view character) {
  if (character.empty()) return false;
  const char32_t code = utf8::DecodeFirst(character).codePoint;
  // A stray byte 0x80-0x9F is a C1 control to a terminal not in UTF-8 mode.
  const char32_t value = utf8::IsInvalidByteCode(code) ? code - utf8::kInvalidByteBase : code;
  return value < 0x20 || value == 0x7F || (value >= 0x80 && value <= 0x9F);
}

std::string KeyText(KeyCode key) {
  if (key == kKeyNone || IsExtendedKey(key)) return {};
  return utf8::Encode(static_cast<char32_t>(key));
}

// ---------------------------------------------------------------------------
// The terminal

namespace {

// What the signal handlers need to give the terminal back and to take it
// again. Changed only while the handled signals are blocked.
struct TerminalState {
  int keyTerminal = -1;  // the terminal whose settings are changed, or -1
  termios saved{};
  termios keyMode{};
  int output = -1;
  int wake = -1;  // write end of the self-pipe that reports a continue
};
TerminalState gTerminal;
// What the terminal shows, as far as flushed output changed it.
volatile sig_atomic_t gColoursChanged = 0;
volatile sig_atomic_t gCursorHidden = 0;
volatile sig_atomic_t gWriting = 0;  // a flush may have stopped inside a sequence
volatile sig_atomic_t gStopping = 0;

constexpr std::array kTerminatingSignals{SIGINT, SIGTERM, SIGHUP, SIGQUIT};

sigset_t HandledSignals() {
  sigset_t set;
  sigemptyset(&set);
  for (const int signal : kTerminatingSignals) sigaddset(&set, signal);
  sigaddset(&set, SIGTSTP);
  sigaddset(&set, SIGCONT);
  return set;
}

// Keeps the handlers out while the terminal state changes.
class SignalsBlocked {
 public:
  SignalsBlocked() {
    const sigset_t handled = HandledSignals();
    sigprocmask(SIG_BLOCK, &handled, &previous_);
  }
  SignalsBlocked(const SignalsBlocked&) = delete;
  SignalsBlocked& operator=(const SignalsBlocked&) = delete;
  ~SignalsBlocked() { sigprocmask(SIG_SETMASK, &previous_, nullptr); }

 private:
  sigset_t previous_{};
};

// Async-signal-safe: used by the handlers too.
void WriteAll(int descriptor, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t written = write(descriptor, data, size);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return;  // the terminal is gone: nothing more can be shown
    data += written;
    size -= static_cast<std::size_t>(written);
  }
}

void Append(char* buffer, std::size_t& length, const char* text) {
  while (*text != '\0') buffer[length++] = *text++;
}

void GiveTerminalBack() {
  char sequence[32];
  std::size_t length = 0;
  if (gWriting != 0) Append(sequence, length, "\x18");  // CAN ends a sequence cut short
  if (gColoursChanged != 0) Append(sequence, length, "\x1b[m");
  if (gCursorHidden != 0) Append(sequence, length, "\x1b[?25h");
  if (gTerminal.output >= 0 && length > 0) {
    // A terminal whose output is held (Ctrl-S) must not keep us from ending.
    const int flags = fcntl(gTerminal.output, F_GETFL);
    fcntl(gTerminal.output, F_SETFL, flags | O_NONBLOCK);
    WriteAll(gTerminal.output, sequence, length);
    fcntl(gTerminal.output, F_SETFL, flags);
  }
  if (gTerminal.keyTerminal >= 0) tcsetattr(gTerminal.keyTerminal, TCSANOW, &gTerminal.saved);
}

void TakeTerminal() {
  if (gTerminal.keyTerminal >= 0) tcsetattr(gTerminal.keyTerminal, TCSANOW, &gTerminal.keyMode);
  if (gTerminal.output >= 0 && gCursorHidden != 0) WriteAll(gTerminal.output, "\x1b[?25l", 6);
}

void Install(int signal, void (*handler)(int)) {
  struct sigaction action {};
  action.sa_handler = handler;
  action.sa_mask = HandledSignals();
  // A continue while stopping is left to the stop handler, which is then
  // still running.
  if (signal == SIGTSTP) sigdelset(&action.sa_mask, SIGCONT);
  action.sa_flags = SA_RESTART;
  sigaction(signal, &action, nullptr);
}

// Does what the signal would have done had it not been caught.
void RaiseWithDefaultAction(int signal) {
  struct sigaction action {};
  action.sa_handler = SIG_DFL;
  sigemptyset(&action.sa_mask);
  sigaction(signal, &action, nullptr);
  sigset_t only;
  sigemptyset(&only);
  sigaddset(&only, signal);
  sigprocmask(SIG_UNBLOCK, &only, nullptr);
  raise(signal);
}

// Takes the terminal again and tells the key wait.
void Resume() {
  TakeTerminal();
  const char resumed = 'c';
  if (gTerminal.wake >= 0) (void)!write(gTerminal.wake, &resumed, 1);
}

void OnTerminatingSignal(int signal) {
  GiveTerminalBack();
  RaiseWithDefaultAction(signal);
}

void OnStop(int signal) {
  const int savedErrno = errno;
  GiveTerminalBack();
  gStopping = 1;
  RaiseWithDefaultAction(signal);  // stopped here until continued; never in an orphaned process group
  gStopping = 0;
  Install(signal, OnStop);
  Resume();
  errno = savedErrno;
}

void OnContinue(int /*signal*/) {
  if (gStopping != 0) return;
  const int savedErrno = errno;
  Resume();
  errno = savedErrno;
}

struct WindowSize {
  int columns = 80;
  int rows = 24;
};

WindowSize SizeOf(int terminal) {
  WindowSize size;
  winsize reported{};
  if (terminal >= 0 && ioctl(terminal, TIOCGWINSZ, &reported) == 0) {
    if (reported.ws_col > 0) size.columns = reported.ws_col;
    if (reported.ws_row > 0) size.rows = reported.ws_row;
  }
  return size;
}

// Buffered output goes out once it reaches this size, key wait or not.
constexpr std::size_t kSendThreshold = std::size_t{64} << 10;

int OpenTerminal(int flags) { return open("/dev/tty", flags | O_CLOEXEC | O_NOCTTY); }

Millis MonotonicMillis() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<Millis>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

class PosixConsole final : public Console {
 public:
  PosixConsole();
  ~PosixConsole() override;

  [[nodiscard]] std::uint8_t StartAttribute() const override { return AnsiWriter::kTerminalColours; }
  [[nodiscard]] int LastColumn() const override { return size_.columns; }
  [[nodiscard]] int LastRow() const override { return size_.rows; }

  void SetAttribute(std::uint8_t attribute) override { writer_.SetAttribute(attribute); }
  void Write(std::string_view text) override {
    writer_.Write(text);
    SendIfDue();
  }
  void WriteLine(std::string_view text) override {
    writer_.WriteLine(text);
    SendIfDue();
  }
  void Clear() override {
    writer_.Clear();
    SendIfDue();
  }
  void ClearToEndOfRow() override {
    writer_.ClearToEndOfRow();
    SendIfDue();
  }
  void MoveCursor(int column, int row) override {
    writer_.MoveCursor(column, row);
    SendIfDue();
  }
  void ScrollRows(int top, int bottom, int count) override {
    writer_.ScrollRows(top, bottom, count);
    SendIfDue();
  }
  void SetCursorVisible(bool visible) override {
    writer_.SetCursorVisible(visible);
    SendIfDue();
  }
  // Texts are cut at the window's width, and the terminal keeps the cursor
  // at the last column until the next character: nothing to switch.
  void SetLineWrap(bool /*enabled*/) override {}
  void Flush() override;

  void DiscardKeys() override;
  KeyWait WaitForKey(Millis deadline) override;
  KeyCode ReadKey() override { return decoder_.Next(Now()).value_or(kKeyNone); }
  void UseConsoleDeviceForKeys() override;

  [[nodiscard]] Millis Now() const override { return MonotonicMillis(); }

 private:
  void SendIfDue();
  void InstallHandlers();
  void RemoveHandlers();
  void AdoptKeySource(int descriptor);
  void ReleaseKeySource();
  void ReadKeyBytes();
  bool TakeResume();

  int output_;
  WindowSize size_;
  AnsiWriter writer_;
  KeyDecoder decoder_;
  int keySource_ = -1;
  bool keyboard_ = false;  // keys can still arrive
  bool hungUp_ = false;    // the terminal that gave keys went away
  std::array<int, 2> wakePipe_{-1, -1};
  std::vector<std::pair<int, struct sigaction>> previousHandlers_;
};

PosixConsole::PosixConsole()
    : output_(OpenTerminal(O_RDWR)), size_(SizeOf(output_)), writer_(size_.columns, size_.rows) {
  if (output_ < 0) return;  // no terminal: nothing to show and no keyboard
  if (pipe(wakePipe_.data()) == 0) {
    for (const int end : wakePipe_) fcntl(end, F_SETFD, FD_CLOEXEC);
    for (const int end : wakePipe_) fcntl(end, F_SETFL, O_NONBLOCK);
  }
  {
    const SignalsBlocked blocked;
    gTerminal.output = output_;
    gTerminal.wake = wakePipe_[1];
  }
  InstallHandlers();
  AdoptKeySource(STDIN_FILENO);
}

PosixConsole::~PosixConsole() {
  writer_.Restore();
  Flush();
  ReleaseKeySource();
  if (output_ < 0) return;
  {
    const SignalsBlocked blocked;
    RemoveHandlers();
    gTerminal = TerminalState{};
  }
  for (const int end : wakePipe_)
    if (end >= 0) close(end);
  close(output_);
}

void PosixConsole::InstallHandlers() {
  const auto install = [this](int signal, void (*handler)(int)) {
    struct sigaction previous {};
    sigaction(signal, nullptr, &previous);
    if (previous.sa_handler == SIG_IGN) return;  // ignored by whoever started us: stays so
    Install(signal, handler);
    previousHandlers_.emplace_back(signal, previous);
  };
  for (const int signal : kTerminatingSignals) install(signal, OnTerminatingSignal);
  install(SIGTSTP, OnStop);
  install(SIGCONT, OnContinue);
}

void PosixConsole::RemoveHandlers() {
  for (const auto& [signal, previous] : previousHandlers_) sigaction(signal, &previous, nullptr);
  previousHandlers_.clear();
}

void PosixConsole::AdoptKeySource(int descriptor) {
  keySource_ = descriptor;
  termios saved{};
  keyboard_ = output_ >= 0 && descriptor >= 0 && isatty(descriptor) != 0 && tcgetattr(descriptor, &saved) == 0;
  if (!keyboard_) return;
  termios keyMode = saved;
  // ISIG stays: Ctrl-C is SIGINT. IEXTEN goes: no literal-next or output-discard key.
  keyMode.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO | IEXTEN);
  keyMode.c_oflag &= ~static_cast<tcflag_t>(OPOST);  // the bytes written are the bytes shown
  keyMode.c_cc[VMIN] = 1;
  keyMode.c_cc[VTIME] = 0;
  const SignalsBlocked blocked;
  gTerminal.saved = saved;
  gTerminal.keyMode = keyMode;
  gTerminal.keyTerminal = descriptor;
  tcsetattr(descriptor, TCSANOW, &keyMode);
}

void PosixConsole::ReleaseKeySource() {
  const SignalsBlocked blocked;
  if (gTerminal.keyTerminal >= 0) tcsetattr(gTerminal.keyTerminal, TCSANOW, &gTerminal.saved);
  gTerminal.keyTerminal = -1;
}

void PosixConsole::UseConsoleDeviceForKeys() {
  ReleaseKeySource();
  decoder_.Clear();
  if (keySource_ >= 0) close(keySource_);
  AdoptKeySource(OpenTerminal(O_RDONLY));
}

void PosixConsole::Flush() {
  const std::string& bytes = writer_.Output();
  if (bytes.empty()) return;
  if (output_ >= 0) {
    // While the bytes go out, the terminal may be in either state.
    gColoursChanged = gColoursChanged | static_cast<int>(!writer_.InTerminalColours());
    gCursorHidden = gCursorHidden | static_cast<int>(!writer_.CursorVisible());
    gWriting = 1;
    WriteAll(output_, bytes.data(), bytes.size());
    gWriting = 0;
    gColoursChanged = static_cast<int>(!writer_.InTerminalColours());
    gCursorHidden = static_cast<int>(!writer_.CursorVisible());
  }
  writer_.ClearOutput();
}

// Output waits for the next key wait, so that a screen update reaches the
// terminal in one write; but long output (a million question lines) goes out
// in pieces rather than piling up, and without a terminal nothing piles up.
// Always between whole writes, so no control sequence is cut.
void PosixConsole::SendIfDue() {
  if (output_ < 0 || writer_.Output().size() >= kSendThreshold) Flush();
}

void PosixConsole::DiscardKeys() {
  if (keyboard_) tcflush(keySource_, TCIFLUSH);
  decoder_.Clear();
}

void PosixConsole::ReadKeyBytes() {
  std::array<char, 256> bytes{};
  const ssize_t count = read(keySource_, bytes.data(), bytes.size());
  if (count > 0) {
    decoder_.Feed(std::string_view(bytes.data(), static_cast<std::size_t>(count)), Now());
  } else if (count == 0 || (errno != EINTR && errno != EAGAIN)) {
    // Keys come only from a terminal: it hung up, or reading it failed.
    keyboard_ = false;
    hungUp_ = true;
    decoder_.EndOfInput();
  }
}

bool PosixConsole::TakeResume() {
  std::array<char, 16> bytes{};
  bool resumed = false;
  while (wakePipe_[0] >= 0 && read(wakePipe_[0], bytes.data(), bytes.size()) > 0) resumed = true;
  if (resumed) writer_.Forget();
  return resumed;
}

KeyWait PosixConsole::WaitForKey(Millis deadline) {
  Flush();
  for (;;) {
    if (TakeResume()) return KeyWait::Resumed;
    const Millis now = Now();
    if (decoder_.HasKey(now)) return KeyWait::Key;
    if (deadline != kNoDeadline && now >= deadline) return KeyWait::Deadline;
    const std::optional<Millis> decision = decoder_.DecisionTime();
    if (!keyboard_ && !decision) {
      if (hungUp_) return KeyWait::HungUp;
      if (deadline == kNoDeadline) return KeyWait::NoKeyboard;
    }

    Millis wakeUp = deadline;
    if (decision && (wakeUp == kNoDeadline || *decision < wakeUp)) wakeUp = *decision;
    const int timeout = wakeUp == kNoDeadline ? -1 : static_cast<int>(std::clamp<Millis>(wakeUp - now, 0, INT_MAX));
    std::array<pollfd, 2> watched{pollfd{wakePipe_[0], POLLIN, 0}, pollfd{keyboard_ ? keySource_ : -1, POLLIN, 0}};
    if (poll(watched.data(), watched.size(), timeout) > 0 && watched[1].revents != 0) ReadKeyBytes();
  }
}

}  // namespace

std::unique_ptr<Console> OpenConsole() { return std::make_unique<PosixConsole>(); }

// ---------------------------------------------------------------------------
// Process and files

std::vector<std::string> ProgramArguments(int argc, char** argv) {
  std::vector<std::string> arguments;
  for (int i = 1; i < argc && argv[i] != nullptr; ++i) arguments.emplace_back(argv[i]);
  return arguments;
}

StdHandleState QueryStdHandle(int which) {
  if (which < 0 || which > 2) return {};
  struct stat status {};
  const bool characterDevice = fstat(which, &status) == 0 && S_ISCHR(status.st_mode);
  return {static_cast<SystemHandle>(which), !characterDevice};
}

namespace {

class DescriptorStream final : public ByteStream {
 public:
  DescriptorStream(int descriptor, bool owned) : descriptor_(descriptor), owned_(owned) {}
  ~DescriptorStream() override {
    if (owned_) close(descriptor_);
  }

  std::optional<std::size_t> Read(char* buffer, std::size_t count) override {
    if (descriptor_ < 0) return 0;
    count = std::min<std::size_t>(count, SSIZE_MAX);
    for (;;) {
      const ssize_t got = read(descriptor_, buffer, count);
      if (got >= 0) return static_cast<std::size_t>(got);
      if (errno == EINTR) continue;
      if (errno == EBADF) return 0;  // no such handle: no data
      return std::nullopt;
    }
  }

 private:
  int descriptor_;
  bool owned_;
};

}  // namespace

std::unique_ptr<ByteStream> OpenHandleStream(SystemHandle handle) {
  const int descriptor = handle <= INT_MAX ? static_cast<int>(handle) : -1;
  return std::make_unique<DescriptorStream>(descriptor, false);
}

std::unique_ptr<ByteStream> OpenFileStream(const std::string& name) {
  if (name.empty() || name.find('\0') != std::string::npos) return nullptr;
  // Non-blocking only while opening: a FIFO without a writer must not hang us.
  const int descriptor = open(name.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (descriptor < 0) return nullptr;
  struct stat status {};
  if (fstat(descriptor, &status) != 0 || S_ISDIR(status.st_mode)) {
    close(descriptor);
    return nullptr;
  }
  fcntl(descriptor, F_SETFL, fcntl(descriptor, F_GETFL) & ~O_NONBLOCK);
  return std::make_unique<DescriptorStream>(descriptor, true);
}

}  // namespace vexpick
