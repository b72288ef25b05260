#include "pty_session.h"

#include "console/utf8.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vterm.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>

namespace e2e {
namespace {

// What the session leader tells the test once the program has ended.
struct EndReport {
  int waitStatus;
  long cpuMicros;
};

// Everything the two forked processes need, prepared before the fork so that
// they only make system calls.
struct LaunchPlan {
  std::string slaveName;
  std::vector<std::string> words;  // program and arguments
  std::vector<char*> argv;
  Stdin stdinFrom;
  std::string stdinFile;
  int stdinPipe;
  Stdout stdoutTo;
  std::string stdoutFile;
  Hangup hangup;
  int report;
};

void Check(bool ok, const char* what) {
  if (!ok) throw std::runtime_error(std::string(what) + ": " + std::strerror(errno));
}

// Descriptors 0-2 of the test itself may be closed (CI runs without a
// terminal); keep them taken so that no pty or pipe ends up as one of them.
void ReserveStandardDescriptors() {
  static const bool reserved = [] {
    for (int fd = 0; fd <= 2; ++fd) {
      if (fcntl(fd, F_GETFD) < 0) open("/dev/null", O_RDWR);
    }
    signal(SIGPIPE, SIG_IGN);  // a program that closed its standard input
    return true;
  }();
  (void)reserved;
}

void WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = write(fd, bytes.data(), bytes.size());
    if (written < 0 && errno == EAGAIN) {
      pollfd ready{fd, POLLOUT, 0};
      poll(&ready, 1, 100);
      continue;
    }
    if (written < 0 && errno == EINTR) continue;
    Check(written >= 0, "write");
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
}

void SetNonBlocking(int fd) { fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK); }

void CloseIfOpen(int& fd) {
  if (fd >= 0) close(fd);
  fd = -1;
}

// --- In the forked processes: system calls only, no allocation.

volatile pid_t gProgramPid = -1;

void ForwardHangup(int) { kill(-gProgramPid, SIGHUP); }

void ResetSignals() {
  for (int number = 1; number < NSIG; ++number) signal(number, SIG_DFL);
  sigset_t none;
  sigemptyset(&none);
  sigprocmask(SIG_SETMASK, &none, nullptr);
}

void MoveTo(int fd, int target) {
  if (fd == target) return;
  dup2(fd, target);
  close(fd);
}

[[noreturn]] void RunProgram(const LaunchPlan& plan, int tty) {
  // Become the terminal's foreground job, as a shell makes it.
  signal(SIGTTOU, SIG_IGN);
  setpgid(0, 0);
  tcsetpgrp(tty, getpid());
  ResetSignals();
  const rlimit noCore{0, 0};
  setrlimit(RLIMIT_CORE, &noCore);

  switch (plan.stdinFrom) {
    case Stdin::kTerminal:
      dup2(tty, 0);
      break;
    case Stdin::kFile: {
      const int file = open(plan.stdinFile.c_str(), O_RDONLY);
      if (file < 0) _exit(126);
      MoveTo(file, 0);
      break;
    }
    case Stdin::kPipe:
      dup2(plan.stdinPipe, 0);
      break;
    case Stdin::kDevNull:
      MoveTo(open("/dev/null", O_RDONLY), 0);
      break;
    case Stdin::kClosed:
      break;
  }
  if (plan.stdoutTo == Stdout::kFile) {
    const int file = open(plan.stdoutFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (file < 0) _exit(126);
    MoveTo(file, 1);
  } else {
    dup2(tty, 1);
  }
  dup2(tty, 2);
  if (plan.stdinFrom == Stdin::kClosed) close(0);
  execvp(plan.argv[0], plan.argv.data());
  _exit(127);
}

// Closes every descriptor above 2 but `keep` and `alsoKeep`: the ends of
// other sessions' pipes and terminals must not stay open in this one.
void CloseOtherDescriptors(int keep, int alsoKeep) {
  const int low = std::min(keep, alsoKeep);
  const int high = std::max(keep, alsoKeep);
  unsigned int from = 3;
  for (int kept : {low, high}) {
    if (kept < static_cast<int>(from)) continue;
    if (kept > static_cast<int>(from)) close_range(from, static_cast<unsigned int>(kept) - 1, 0);
    from = static_cast<unsigned int>(kept) + 1;
  }
  close_range(from, ~0U, 0);
}

[[noreturn]] void RunSessionLeader(const LaunchPlan& plan) {
  CloseOtherDescriptors(plan.report, plan.stdinPipe);
  setsid();
  const int tty = open(plan.slaveName.c_str(), O_RDWR | O_CLOEXEC);  // the controlling terminal
  if (tty < 0 || ioctl(tty, TIOCSCTTY, 0) < 0) _exit(125);
  const pid_t program = fork();
  if (program == 0) RunProgram(plan, tty);
  setpgid(program, program);
  gProgramPid = program;
  struct sigaction onHangup {};
  onHangup.sa_handler = plan.hangup == Hangup::kForward ? ForwardHangup : SIG_IGN;
  onHangup.sa_flags = SA_RESTART;
  sigaction(SIGHUP, &onHangup, nullptr);
  if (write(plan.report, &program, sizeof program) < 0) _exit(125);

  EndReport end{};
  rusage usage{};
  while (wait4(program, &end.waitStatus, 0, &usage) < 0 && errno == EINTR) {
  }
  end.cpuMicros =
      (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000000L + usage.ru_utime.tv_usec + usage.ru_stime.tv_usec;
  if (write(plan.report, &end, sizeof end) < 0) _exit(125);
  _exit(0);
}

// --- Reading the emulator.

// The right half of a wide character.
constexpr uint32_t kWideCharacterTail = static_cast<uint32_t>(-1);

std::string CellText(const VTermScreenCell& cell) {
  if (cell.chars[0] == 0) return " ";
  std::string text;
  for (int i = 0; i < VTERM_MAX_CHARS_PER_CELL && cell.chars[i] != 0; ++i) text += vexpick::utf8::Encode(cell.chars[i]);
  return text;
}

int ColorIndex(const VTermColor& color, bool foreground) {
  if (foreground ? VTERM_COLOR_IS_DEFAULT_FG(&color) : VTERM_COLOR_IS_DEFAULT_BG(&color)) return kDefaultColor;
  if (VTERM_COLOR_IS_INDEXED(&color)) return color.indexed.idx;
  return kRgbColor;
}

std::string TrimRight(std::string text) {
  text.erase(text.find_last_not_of(' ') + 1);
  return text;
}

// The built program, as the build system names it.
std::string ProgramPath() { return VEXPICK_BINARY; }

const std::vector<std::string>& Launcher() {
  static const std::vector<std::string> words = [] {
    std::vector<std::string> split;
    std::istringstream text(getenv("VEXPICK_E2E_LAUNCHER") != nullptr ? getenv("VEXPICK_E2E_LAUNCHER") : "");
    for (std::string word; text >> word;) split.push_back(word);
    return split;
  }();
  return words;
}

}  // namespace

// The emulator's callbacks, given the session as their user data.
struct ScreenEvents {
  static int SetTermProp(VTermProp prop, VTermValue* value, void* user) {
    auto& session = *static_cast<PtySession*>(user);
    if (prop == VTERM_PROP_CURSORVISIBLE) session.cursorVisible_ = value->boolean != 0;
    if (prop == VTERM_PROP_TITLE) session.title_.assign(value->string);
    return 1;
  }
  static int PushLine(int, const VTermScreenCell*, void* user) {
    ++static_cast<PtySession*>(user)->scrolledRows_;
    return 1;
  }
  // Answers to the program's queries go back to it, as from a real terminal.
  static void Reply(const char* bytes, size_t length, void* user) {
    auto& session = *static_cast<PtySession*>(user);
    if (session.master_ >= 0) WriteAll(session.master_, std::string_view(bytes, length));
  }
};

bool UnderLauncher() { return !Launcher().empty(); }

int Slowdown() { return UnderLauncher() ? 10 : 1; }

void PrintTo(const ExitStatus& status, std::ostream* out) {
  if (status.exited) {
    *out << "exit code " << status.code;
  } else {
    *out << "killed by signal " << status.code << " (" << strsignal(status.code) << ")";
  }
}

void PrintTo(const Position& position, std::ostream* out) {
  *out << "row " << position.row << ", column " << position.column;
}

bool SameSettings(const termios& a, const termios& b) {
  return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag && a.c_lflag == b.c_lflag &&
         std::equal(std::begin(a.c_cc), std::end(a.c_cc), std::begin(b.c_cc)) && cfgetispeed(&a) == cfgetispeed(&b) &&
         cfgetospeed(&a) == cfgetospeed(&b);
}

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "vexpick-e2e-XXXXXX").string();
  Check(mkdtemp(pattern.data()) != nullptr, "mkdtemp");
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::string TempDir::PathOf(std::string_view name) const { return path_ + "/" + std::string(name); }

std::string TempDir::Write(std::string_view name, std::string_view content) const {
  const std::string path = PathOf(name);
  std::ofstream(path, std::ios::binary) << content;
  return path;
}

std::string ReadFile(const std::string& path) {
  // Plain reads: a /proc file of a process that ends meanwhile fails, and
  // then what was read is all there is.
  std::string content;
  const int file = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (file < 0) return content;
  char buffer[4096];
  for (ssize_t got; (got = read(file, buffer, sizeof buffer)) > 0;) content.append(buffer, static_cast<size_t>(got));
  close(file);
  return content;
}

PtySession::PtySession(std::vector<std::string> args) : PtySession(SessionOptions{.args = std::move(args)}) {}

PtySession::PtySession(SessionOptions options) : rows_(options.rows), columns_(options.columns) {
  ReserveStandardDescriptors();
  SetUpScreen();
  StartProgram(options);
}

PtySession::~PtySession() {
  if (programPid_ > 0 && !status_) {
    kill(-programPid_, SIGKILL);
    kill(programPid_, SIGKILL);
    while (!status_ && report_ >= 0) Pump(100ms);
  }
  if (leaderPid_ > 0) waitpid(leaderPid_, nullptr, 0);
  for (int* fd : {&master_, &slave_, &stdinWrite_, &stdinRead_, &report_}) CloseIfOpen(*fd);
  vterm_free(vterm_);
}

void PtySession::SetUpScreen() {
  static const VTermScreenCallbacks callbacks = {
      .damage = nullptr,
      .moverect = nullptr,
      .movecursor = nullptr,
      .settermprop = ScreenEvents::SetTermProp,
      .bell = nullptr,
      .resize = nullptr,
      .sb_pushline = ScreenEvents::PushLine,
      .sb_popline = nullptr,
  };
  vterm_ = vterm_new(rows_, columns_);
  vterm_set_utf8(vterm_, 1);
  screen_ = vterm_obtain_screen(vterm_);
  vterm_screen_set_callbacks(screen_, &callbacks, this);
  vterm_output_set_callback(vterm_, ScreenEvents::Reply, this);
  vterm_screen_reset(screen_, 1);
}

void PtySession::StartProgram(const SessionOptions& options) {
  master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  Check(master_ >= 0 && grantpt(master_) == 0 && unlockpt(master_) == 0, "posix_openpt");
  char name[128];
  Check(ptsname_r(master_, name, sizeof name) == 0, "ptsname_r");
  winsize size{static_cast<unsigned short>(rows_), static_cast<unsigned short>(columns_), 0, 0};
  if (options.hidesSize) size = winsize{};
  Check(ioctl(master_, TIOCSWINSZ, &size) == 0, "TIOCSWINSZ");
  slave_ = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
  Check(slave_ >= 0 && tcgetattr(slave_, &initialSettings_) == 0, "open the terminal");
  SetNonBlocking(master_);
  WriteAll(master_, options.typeahead);

  int stdinPipe[2] = {-1, -1};
  if (options.stdinFrom == Stdin::kPipe) Check(pipe2(stdinPipe, O_CLOEXEC) == 0, "pipe2");
  stdinRead_ = stdinPipe[0];
  stdinWrite_ = stdinPipe[1];
  int report[2];
  Check(pipe2(report, O_CLOEXEC) == 0, "pipe2");

  LaunchPlan plan{name,
                  {},
                  {},
                  options.stdinFrom,
                  options.stdinFile,
                  stdinRead_,
                  options.stdoutTo,
                  options.stdoutFile,
                  options.hangup,
                  report[1]};
  if (options.program.empty()) {
    plan.words = Launcher();
    plan.words.push_back(ProgramPath());
  } else {
    plan.words.push_back(options.program);
  }
  plan.words.insert(plan.words.end(), options.args.begin(), options.args.end());
  for (std::string& word : plan.words) plan.argv.push_back(word.data());
  plan.argv.push_back(nullptr);

  startTime_ = Clock::now();
  leaderPid_ = fork();
  Check(leaderPid_ >= 0, "fork");
  if (leaderPid_ == 0) RunSessionLeader(plan);
  close(report[1]);
  report_ = report[0];
  if (read(report_, &programPid_, sizeof programPid_) != sizeof programPid_) {
    throw std::runtime_error("the session leader could not start the program");
  }
}

void PtySession::DrainTerminal() {
  if (master_ < 0) return;
  char buffer[65536];
  for (;;) {
    const ssize_t got = read(master_, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return;
    output_.append(buffer, static_cast<std::size_t>(got));
    vterm_input_write(vterm_, buffer, static_cast<std::size_t>(got));
  }
}

void PtySession::ReadExitReport() {
  EndReport end{};
  if (read(report_, &end, sizeof end) != sizeof end) {
    ADD_FAILURE() << "the session leader ended without a report";
    end.waitStatus = 0xFF00;
  }
  endTime_ = Clock::now();
  CloseIfOpen(report_);
  waitpid(leaderPid_, nullptr, 0);
  leaderPid_ = -1;
  status_ = WIFEXITED(end.waitStatus) ? Exited(WEXITSTATUS(end.waitStatus)) : KilledBy(WTERMSIG(end.waitStatus));
  cpuTime_ = std::chrono::microseconds(end.cpuMicros);
  DrainTerminal();
}

void PtySession::Pump(milliseconds wait) {
  pollfd watched[2];
  nfds_t count = 0;
  if (master_ >= 0) watched[count++] = {master_, POLLIN, 0};
  const bool reportWatched = report_ >= 0;
  if (reportWatched) watched[count++] = {report_, POLLIN, 0};
  const int ready = poll(watched, count, static_cast<int>(wait.count()));
  DrainTerminal();
  if (ready > 0 && reportWatched && watched[count - 1].revents != 0) ReadExitReport();
}

testing::AssertionResult PtySession::WaitFor(const std::function<bool()>& condition, std::string_view what,
                                             milliseconds deadline) {
  deadline *= Slowdown();
  const Clock::time_point end = Clock::now() + deadline;
  Pump(0ms);
  while (!condition()) {
    const Clock::time_point now = Clock::now();
    if (HasExited()) {
      // All the program wrote is read: nothing will change any more.
      return testing::AssertionFailure() << "the program ended before " << what << "\n" << Dump();
    }
    if (now >= end) {
      return testing::AssertionFailure() << "timed out after " << deadline.count() << " ms waiting for " << what << "\n"
                                         << Dump();
    }
    Pump(std::min(std::chrono::duration_cast<milliseconds>(end - now) + 1ms, milliseconds(100)));
  }
  return testing::AssertionSuccess();
}

testing::AssertionResult PtySession::WaitForRow(int row, std::string_view text, milliseconds deadline) {
  std::ostringstream what;
  what << "row " << row << " to read \"" << text << "\"";
  return WaitFor([&] { return Row(row) == text; }, what.str(), deadline);
}

testing::AssertionResult PtySession::WaitForRows(const std::vector<std::string>& rows, milliseconds deadline) {
  std::ostringstream what;
  what << "rows 1-" << rows.size() << " to read:";
  for (const std::string& row : rows) what << "\n  |" << row << "|";
  return WaitFor(
      [&] {
        for (std::size_t i = 0; i < rows.size(); ++i) {
          if (Row(static_cast<int>(i) + 1) != rows[i]) return false;
        }
        return true;
      },
      what.str(), deadline);
}

std::optional<ExitStatus> PtySession::WaitForExit(milliseconds deadline) { return WatchFor(deadline * Slowdown()); }

std::optional<ExitStatus> PtySession::WatchFor(milliseconds spell) {
  const Clock::time_point end = Clock::now() + spell;
  Pump(0ms);
  while (!status_ && Clock::now() < end) {
    Pump(std::min(std::chrono::duration_cast<milliseconds>(end - Clock::now()) + 1ms, milliseconds(100)));
  }
  return status_;
}

std::size_t PtySession::BytesWithin(milliseconds spell) {
  const std::size_t mark = Mark();
  const Clock::time_point end = Clock::now() + spell;
  for (Clock::time_point now = Clock::now(); now < end; now = Clock::now()) {
    Pump(std::chrono::duration_cast<milliseconds>(end - now) + 1ms);
  }
  return output_.size() - mark;
}

bool PtySession::RunsFor(milliseconds spell) { return !WatchFor(spell).has_value(); }

std::string PtySession::Row(int row) const {
  if (row < 1 || row > rows_) return "";
  std::string text;
  for (int column = 1; column <= columns_; ++column) {
    VTermScreenCell cell;
    vterm_screen_get_cell(screen_, VTermPos{row - 1, column - 1}, &cell);
    if (cell.chars[0] != kWideCharacterTail) text += CellText(cell);
  }
  return TrimRight(std::move(text));
}

std::vector<std::string> PtySession::Rows() const {
  std::vector<std::string> rows;
  for (int row = 1; row <= rows_; ++row) rows.push_back(Row(row));
  return rows;
}

Cell PtySession::CellAt(int row, int column) const {
  VTermScreenCell cell;
  vterm_screen_get_cell(screen_, VTermPos{row - 1, column - 1}, &cell);
  Cell result{CellText(cell), ColorIndex(cell.fg, true), ColorIndex(cell.bg, false)};
  if (cell.attrs.reverse) std::swap(result.fg, result.bg);
  return result;
}

Position PtySession::Cursor() const {
  VTermPos position;
  vterm_state_get_cursorpos(vterm_obtain_state(vterm_), &position);
  return {position.row + 1, position.col + 1};
}

bool PtySession::ScreenBlank() const {
  const std::vector<std::string> rows = Rows();
  return std::all_of(rows.begin(), rows.end(), [](const std::string& row) { return row.empty(); });
}

std::string PtySession::Dump() const {
  std::ostringstream out;
  out << "screen " << columns_ << "x" << rows_ << ", cursor at ";
  PrintTo(Cursor(), &out);
  out << (cursorVisible_ ? ", visible" : ", hidden");
  if (status_) {
    out << ", program ended with ";
    PrintTo(*status_, &out);
  }
  out << "\n";
  for (int row = 1; row <= rows_; ++row) {
    out << (row < 10 ? " " : "") << row << " |" << Row(row) << "|\n";
  }
  return out.str();
}

void PtySession::Inject(std::string_view bytes) { vterm_input_write(vterm_, bytes.data(), bytes.size()); }

void PtySession::Press(std::string_view key) {
  const std::string shown = testing::PrintToString(std::string(key));
  EXPECT_TRUE(WaitUntilWaiting()) << "before typing " << shown;
  const long before = BytesRead();
  Type(key);
  if (before < 0) return;
  const auto taken = [&] { return HasExited() || BytesRead() >= before + static_cast<long>(key.size()); };
  EXPECT_TRUE(WaitFor(taken, "the program to read " + shown));
  // A lone Escape waits a moment for the rest of a sequence.
  if (key == keys::kEscape) BytesWithin(100ms);
}

void PtySession::Type(std::string_view bytes) { WriteAll(master_, bytes); }

void PtySession::WriteStdin(std::string_view bytes) { WriteAll(stdinWrite_, bytes); }

void PtySession::CloseStdin() { CloseIfOpen(stdinWrite_); }

std::string PtySession::UnreadStdin() {
  SetNonBlocking(stdinRead_);
  std::string left;
  char buffer[4096];
  for (ssize_t got; (got = read(stdinRead_, buffer, sizeof buffer)) > 0;) left.append(buffer, static_cast<size_t>(got));
  return left;
}

void PtySession::HangUp() {
  DrainTerminal();
  CloseIfOpen(master_);
}

void PtySession::Signal(int signal) const { kill(programPid_, signal); }

std::chrono::microseconds PtySession::CpuTime() const {
  if (HasExited()) return cpuTime_;
  // The first field is the time spent on a CPU, in nanoseconds.
  std::istringstream schedstat(ReadFile("/proc/" + std::to_string(programPid_) + "/schedstat"));
  long long nanoseconds = 0;
  schedstat >> nanoseconds;
  return std::chrono::microseconds(nanoseconds / 1000);
}

milliseconds PtySession::RunTime() const { return std::chrono::duration_cast<milliseconds>(endTime_ - startTime_); }

milliseconds PtySession::Elapsed() const { return std::chrono::duration_cast<milliseconds>(Clock::now() - startTime_); }

char PtySession::ProcessState() const {
  const std::string stat = ReadFile("/proc/" + std::to_string(programPid_) + "/stat");
  const std::size_t nameEnd = stat.rfind(')');
  return nameEnd == std::string::npos || nameEnd + 2 >= stat.size() ? '?' : stat[nameEnd + 2];
}

long PtySession::BytesRead() const {
  std::istringstream io(ReadFile("/proc/" + std::to_string(programPid_) + "/io"));
  for (std::string name; io >> name;) {
    long value = 0;
    if (!(io >> value)) break;
    if (name == "rchar:") return value;
  }
  return -1;
}

bool PtySession::WaitsForInput() const {
  if (HasExited() || ProcessState() != 'S') return false;
  std::istringstream call(ReadFile("/proc/" + std::to_string(programPid_) + "/syscall"));
  long number = -1;
  if (!(call >> number)) return true;  // not shown to us: sleeping is all we can tell
  static const long kWaits[] = {
      SYS_read, SYS_ppoll,  SYS_pselect6,   SYS_epoll_pwait,
#ifdef SYS_poll
      SYS_poll, SYS_select, SYS_epoll_wait,
#endif
  };
  return std::find(std::begin(kWaits), std::end(kWaits), number) != std::end(kWaits);
}

testing::AssertionResult PtySession::WaitUntilWaiting(milliseconds deadline) {
  return WaitFor([&] { return HasExited() || WaitsForInput(); }, "the program to wait for input", deadline);
}

termios PtySession::Settings() const {
  termios now{};
  tcgetattr(slave_, &now);
  return now;
}

}  // namespace e2e
