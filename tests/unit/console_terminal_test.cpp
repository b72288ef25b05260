// The POSIX console on a real terminal: each test runs the console in a job
// of its own in a pseudo-terminal, with a small shell around it, and watches
// the terminal from the other side.
#ifndef _WIN32
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <functional>
#include <string>

#include "console/console.h"

namespace vexpick {
namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kPatience = std::chrono::seconds(5);

// ---------------------------------------------------------------------------
// Inside the job

int gReport = -1;

void Report(const std::string& line) {
  const std::string text = line + "\n";
  (void)!write(gReport, text.data(), text.size());
}

std::string NameOf(KeyWait wait) {
  switch (wait) {
    case KeyWait::Key:
      return "Key";
    case KeyWait::Deadline:
      return "Deadline";
    case KeyWait::NoKeyboard:
      return "NoKeyboard";
    case KeyWait::HungUp:
      return "HungUp";
    case KeyWait::Resumed:
      return "Resumed";
  }
  return "?";
}

// One wait, reported as "<how it ended> <key>" when a key came.
void ReportWait(Console& console, Millis deadline) {
  const KeyWait wait = console.WaitForKey(deadline);
  Report(wait == KeyWait::Key ? "Key " + std::to_string(console.ReadKey()) : NameOf(wait));
}

Millis CpuMillis() {
  timespec used{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &used);
  return static_cast<Millis>(used.tv_sec) * 1000 + used.tv_nsec / 1000000;
}

enum class Input { Terminal, DevNull, EmptyPipe };

[[noreturn]] void RunJob(int terminal, Input input, const std::function<void()>& job) {
  signal(SIGHUP, SIG_DFL);
  setpgid(0, 0);
  // Take the foreground, as a shell does for its job.
  sigset_t ttou;
  sigemptyset(&ttou);
  sigaddset(&ttou, SIGTTOU);
  sigprocmask(SIG_BLOCK, &ttou, nullptr);
  tcsetpgrp(terminal, getpid());
  sigprocmask(SIG_UNBLOCK, &ttou, nullptr);
  const rlimit noCore{0, 0};
  setrlimit(RLIMIT_CORE, &noCore);

  int ends[2] = {-1, -1};
  switch (input) {
    case Input::Terminal:
      dup2(terminal, STDIN_FILENO);
      break;
    case Input::DevNull:
      dup2(open("/dev/null", O_RDONLY), STDIN_FILENO);
      break;
    case Input::EmptyPipe:
      (void)!pipe(ends);
      dup2(ends[0], STDIN_FILENO);
      close(ends[1]);
      break;
  }
  dup2(terminal, STDOUT_FILENO);
  dup2(terminal, STDERR_FILENO);
  close(terminal);
  Report("job " + std::to_string(getpid()));
  job();
  _exit(0);
}

// A session leader with the terminal as its controlling terminal that runs
// the job and tells how it ended (128 + n for signal n), like a shell.
[[noreturn]] void RunShell(const std::string& terminalName, Input input, const std::function<void()>& job) {
  setsid();
  const int terminal = open(terminalName.c_str(), O_RDWR);
  ioctl(terminal, TIOCSCTTY, 0);
  signal(SIGHUP, SIG_IGN);  // outlives a hang-up to report the job's end
  const pid_t jobId = fork();
  if (jobId == 0) RunJob(terminal, input, job);
  close(terminal);
  for (;;) {
    int status = 0;
    if (waitpid(jobId, &status, WUNTRACED) < 0) _exit(99);
    if (WIFSTOPPED(status)) {
      Report("stopped");
      continue;
    }
    _exit(WIFSIGNALED(status) ? 128 + WTERMSIG(status) : WEXITSTATUS(status));
  }
}

// ---------------------------------------------------------------------------
// Outside: the test's side of the terminal

class TerminalJob {
 public:
  explicit TerminalJob(const std::function<void()>& job, Input input = Input::Terminal) {
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    grantpt(master_);
    unlockpt(master_);
    const std::string terminalName = ptsname(master_);
    const winsize size{24, 80, 0, 0};
    ioctl(master_, TIOCSWINSZ, &size);
    terminal_ = open(terminalName.c_str(), O_RDWR | O_NOCTTY);
    tcgetattr(terminal_, &before_);
    int report[2];
    (void)!pipe(report);
    shell_ = fork();
    if (shell_ == 0) {
      close(master_);
      close(terminal_);
      close(report[0]);
      gReport = report[1];
      RunShell(terminalName, input, job);
    }
    close(report[1]);
    report_ = report[0];
    fcntl(master_, F_SETFL, O_NONBLOCK);
    const std::string first = ReadLine();
    if (first.rfind("job ", 0) == 0) jobId_ = std::stoi(first.substr(4));
  }
  TerminalJob(const TerminalJob&) = delete;
  TerminalJob& operator=(const TerminalJob&) = delete;
  ~TerminalJob() {
    if (shell_ > 0) {
      if (jobId_ > 0) kill(jobId_, SIGKILL);
      kill(shell_, SIGKILL);
      waitpid(shell_, nullptr, 0);
    }
    for (const int descriptor : {master_, terminal_, report_})
      if (descriptor >= 0) close(descriptor);
  }

  [[nodiscard]] pid_t JobId() const { return jobId_; }
  [[nodiscard]] const termios& Before() const { return before_; }
  [[nodiscard]] termios Now() const {
    termios now{};
    tcgetattr(terminal_, &now);
    return now;
  }
  const std::string& Output() {
    Drain(Clock::now());
    return output_;
  }

  void Type(const std::string& bytes) { ASSERT_EQ(write(master_, bytes.data(), bytes.size()), ssize_t(bytes.size())); }
  void HangUp() {
    close(master_);
    master_ = -1;
  }

  // The next line the job or the shell reports; empty when none comes.
  std::string ReadLine() {
    const auto deadline = Clock::now() + kPatience;
    for (;;) {
      const std::size_t end = reports_.find('\n');
      if (end != std::string::npos) {
        std::string line = reports_.substr(0, end);
        reports_.erase(0, end + 1);
        return line;
      }
      if (!ReadReports(deadline)) return {};
    }
  }

  bool WaitForOutput(const std::string& text) {
    const auto deadline = Clock::now() + kPatience;
    while (output_.find(text) == std::string::npos) {
      if (Clock::now() >= deadline) return false;
      Drain(deadline);
    }
    return true;
  }

  // How the job ended: its exit status, or 128 + the signal that ended it;
  // -1 when it did not end in time.
  int Finish() {
    const auto deadline = Clock::now() + kPatience;
    while (ReadReports(deadline)) {
    }
    if (Clock::now() >= deadline) return -1;
    int status = 0;
    waitpid(shell_, &status, 0);
    shell_ = -1;
    Drain(Clock::now());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

 private:
  static int MillisUntil(Clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return static_cast<int>(std::max<long long>(left, 0));
  }

  // False at the end of the reports or at the deadline.
  bool ReadReports(Clock::time_point deadline) {
    for (;;) {
      std::array<pollfd, 2> watched{pollfd{report_, POLLIN, 0}, pollfd{master_, POLLIN, 0}};
      if (poll(watched.data(), watched.size(), MillisUntil(deadline)) <= 0) return false;
      // The job's output is read meanwhile: a full terminal would stop the job.
      if ((watched[1].revents & POLLIN) != 0) Drain(Clock::now());
      if (watched[0].revents != 0) break;
    }
    char buffer[256];
    const ssize_t got = read(report_, buffer, sizeof buffer);
    if (got <= 0) return false;
    reports_.append(buffer, static_cast<std::size_t>(got));
    return true;
  }

  void Drain(Clock::time_point deadline) {
    if (master_ < 0) return;
    pollfd watched{master_, POLLIN, 0};
    while (poll(&watched, 1, MillisUntil(deadline)) > 0) {
      char buffer[4096];
      const ssize_t got = read(master_, buffer, sizeof buffer);
      if (got <= 0) return;
      output_.append(buffer, static_cast<std::size_t>(got));
      deadline = Clock::now();
    }
  }

  int master_ = -1;
  int terminal_ = -1;  // keeps the terminal alive and shows its settings
  int report_ = -1;
  pid_t shell_ = -1;
  pid_t jobId_ = -1;
  termios before_{};
  std::string reports_;
  std::string output_;
};

bool SameSettings(const termios& a, const termios& b) {
  return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag && a.c_lflag == b.c_lflag &&
         a.c_cc[VMIN] == b.c_cc[VMIN] && a.c_cc[VTIME] == b.c_cc[VTIME];
}

bool InKeyMode(const termios& settings) {
  return (settings.c_lflag & (ICANON | ECHO)) == 0 && (settings.c_lflag & ISIG) != 0;
}

// ---------------------------------------------------------------------------

TEST(Terminal, KeyModeWhileOpenAndSettingsBackAfter) {
  TerminalJob job([] {
    {
      const auto console = OpenConsole();
      Report("open " + std::to_string(console->LastColumn()) + "x" + std::to_string(console->LastRow()));
      console->WaitForKey(kNoDeadline);
    }
    Report("closed");
  });
  ASSERT_EQ(job.ReadLine(), "open 80x24");
  EXPECT_TRUE(InKeyMode(job.Now()));
  job.Type("x");
  ASSERT_EQ(job.ReadLine(), "closed");
  EXPECT_TRUE(SameSettings(job.Now(), job.Before()));
  EXPECT_EQ(job.Finish(), 0);
  EXPECT_EQ(job.Output(), "") << "a console that changed nothing writes nothing";
}

TEST(Terminal, KeysArriveWhole) {
  TerminalJob job([] {
    const auto console = OpenConsole();
    Report("open");
    for (int i = 0; i < 6; ++i) ReportWait(*console, kNoDeadline);
  });
  ASSERT_EQ(job.ReadLine(), "open");
  job.Type("\x1b[A");
  job.Type("\xc3\xa9");
  job.Type("\x1b[1;5B\r\n");
  job.Type("\x1b");
  for (const KeyCode key : {kKeyUp, KeyCode{0xE9}, kKeyDown, kKeyEnter, kKeyEnter, kKeyEscape})
    EXPECT_EQ(job.ReadLine(), "Key " + std::to_string(key));
  EXPECT_EQ(job.Finish(), 0);
}

TEST(Terminal, WaitEndsAtTheDeadlineWithoutSpinning) {
  TerminalJob job([] {
    const auto console = OpenConsole();
    const Millis start = console->Now();
    const Millis cpu = CpuMillis();
    ReportWait(*console, start + 200);
    const Millis waited = console->Now() - start;
    Report(waited >= 200 && waited < 1000 ? "in time" : "waited " + std::to_string(waited));
    Report(CpuMillis() - cpu < 20 ? "idle" : "busy " + std::to_string(CpuMillis() - cpu));
  });
  EXPECT_EQ(job.ReadLine(), "Deadline");
  EXPECT_EQ(job.ReadLine(), "in time");
  EXPECT_EQ(job.ReadLine(), "idle");
  EXPECT_EQ(job.Finish(), 0);
}

TEST(Terminal, OutputIsFlushedBeforeAWait) {
  TerminalJob job([] {
    const auto console = OpenConsole();
    console->WriteLine("Continue?");
    console->Write("[YN]");
    ReportWait(*console, kNoDeadline);
  });
  ASSERT_TRUE(job.WaitForOutput("Continue?\r\n[YN]"));
  job.Type("y");
  EXPECT_EQ(job.ReadLine(), "Key 121");
  EXPECT_EQ(job.Finish(), 0);
}

TEST(Terminal, LongOutputGoesOutWithoutWaitingForAKey) {
  TerminalJob job([] {
    const auto console = OpenConsole();
    for (int i = 0; i < 5000; ++i) console->WriteLine("line " + std::to_string(i) + std::string(40, '.'));
    Report("written");
    for (;;) pause();
  });
  EXPECT_TRUE(job.WaitForOutput("\r\nline 3000."));
  EXPECT_EQ(job.ReadLine(), "written");
}

TEST(Terminal, KeysTypedBeforeAreDiscarded) {
  TerminalJob job([] {
    const auto console = OpenConsole();
    Report("open");
    console->WaitForKey(kNoDeadline);
    console->DiscardKeys();
    ReportWait(*console, console->Now() + 100);
    ReportWait(*console, kNoDeadline);
  });
  ASSERT_EQ(job.ReadLine(), "open");
  job.Type("abc\x1b[A");
  EXPECT_EQ(job.ReadLine(), "Deadline");
  job.Type("z");
  EXPECT_EQ(job.ReadLine(), "Key 122");
  EXPECT_EQ(job.Finish(), 0);
}

TEST(Terminal, ColoursAndCursorGivenBackAtTheEnd) {
  TerminalJob job([] {
    const auto console = OpenConsole();
    console->SetAttribute(0x1F);
    console->Write("blue");
    console->SetCursorVisible(false);
  });
  EXPECT_EQ(job.Finish(), 0);
  EXPECT_EQ(job.Output(), "\x1b[97;44mblue\x1b[?25l\x1b[m\x1b[?25h");
  EXPECT_TRUE(SameSettings(job.Now(), job.Before()));
}

class WithoutKeyboard : public ::testing::TestWithParam<Input> {};

TEST_P(WithoutKeyboard, NoKeyIsEverPressed) {
  TerminalJob job(
      [] {
        const auto console = OpenConsole();
        ReportWait(*console, kNoDeadline);
        const Millis start = console->Now();
        ReportWait(*console, start + 100);
        Report(console->Now() - start >= 100 ? "after the deadline" : "too early");
      },
      GetParam());
  EXPECT_EQ(job.ReadLine(), "NoKeyboard");
  EXPECT_EQ(job.ReadLine(), "Deadline");
  EXPECT_EQ(job.ReadLine(), "after the deadline");
  EXPECT_EQ(job.Finish(), 0);
  EXPECT_TRUE(SameSettings(job.Now(), job.Before())) << "a terminal that is not the key source stays as it is";
}

INSTANTIATE_TEST_SUITE_P(Terminal, WithoutKeyboard, ::testing::Values(Input::DevNull, Input::EmptyPipe));

TEST(Terminal, KeysFromTheConsoleDeviceAfterStandardInput) {
  TerminalJob job(
      [] {
        const auto console = OpenConsole();
        console->UseConsoleDeviceForKeys();
        Report(isatty(STDIN_FILENO) != 0 ? "standard input is the terminal" : "standard input is not the terminal");
        ReportWait(*console, kNoDeadline);
      },
      Input::EmptyPipe);
  EXPECT_EQ(job.ReadLine(), "standard input is the terminal");
  EXPECT_TRUE(InKeyMode(job.Now()));
  job.Type("k");
  EXPECT_EQ(job.ReadLine(), "Key 107");
  EXPECT_EQ(job.Finish(), 0);
  EXPECT_TRUE(SameSettings(job.Now(), job.Before()));
}

struct Ending {
  const char* name;
  int signal;
  const char* typed;  // sent by the terminal when set, else by kill
};

class EndedBySignal : public ::testing::TestWithParam<Ending> {};

TEST_P(EndedBySignal, GivesTheTerminalBackAndEndsByTheSignal) {
  TerminalJob job([] {
    const auto console = OpenConsole();
    console->SetAttribute(0x1F);
    console->Write("x");
    console->SetCursorVisible(false);
    console->Flush();
    Report("open");
    ReportWait(*console, kNoDeadline);
  });
  ASSERT_EQ(job.ReadLine(), "open");
  if (GetParam().typed != nullptr) {
    job.Type(GetParam().typed);
  } else {
    kill(job.JobId(), GetParam().signal);
  }
  EXPECT_EQ(job.Finish(), 128 + GetParam().signal);
  EXPECT_TRUE(SameSettings(job.Now(), job.Before()));
  const std::string& output = job.Output();
  EXPECT_EQ(output.substr(output.rfind('x') + 1), "\x1b[?25l\x1b[m\x1b[?25h");
}

INSTANTIATE_TEST_SUITE_P(Terminal, EndedBySignal,
                         ::testing::Values(Ending{"CtrlC", SIGINT, "\x03"}, Ending{"CtrlBackslash", SIGQUIT, "\x1c"},
                                           Ending{"Term", SIGTERM, nullptr}, Ending{"HangUp", SIGHUP, nullptr}),
                         [](const ::testing::TestParamInfo<Ending>& info) { return std::string(info.param.name); });

TEST(Terminal, StopAndContinue) {
  TerminalJob job([] {
    const auto console = OpenConsole();
    console->SetCursorVisible(false);
    console->Flush();
    Report("open");
    ReportWait(*console, kNoDeadline);
    ReportWait(*console, kNoDeadline);
  });
  ASSERT_EQ(job.ReadLine(), "open");
  job.Type("\x1a");
  ASSERT_EQ(job.ReadLine(), "stopped");
  EXPECT_TRUE(SameSettings(job.Now(), job.Before()));
  EXPECT_TRUE(job.WaitForOutput("\x1b[?25l\x1b[?25h")) << "the cursor is shown while stopped";
  kill(job.JobId(), SIGCONT);
  EXPECT_EQ(job.ReadLine(), "Resumed");
  EXPECT_TRUE(InKeyMode(job.Now()));
  EXPECT_TRUE(job.WaitForOutput("\x1b[?25h\x1b[?25l")) << "and hidden again after";
  job.Type("q");
  EXPECT_EQ(job.ReadLine(), "Key 113");
  EXPECT_EQ(job.Finish(), 0);
}

// Every later wait reports the hang-up at once, whatever its deadline.
TEST(Terminal, HangUpEndsTheKeyboardWithoutSpinning) {
  TerminalJob job([] {
    const auto console = OpenConsole();
    Report("open");
    const Millis cpu = CpuMillis();
    ReportWait(*console, kNoDeadline);
    const Millis start = console->Now();
    ReportWait(*console, start + 60'000);
    console->Write("nobody reads this");
    console->Flush();
    Report(CpuMillis() - cpu < 20 ? "idle" : "busy " + std::to_string(CpuMillis() - cpu));
  });
  ASSERT_EQ(job.ReadLine(), "open");
  const auto start = Clock::now();
  job.HangUp();
  EXPECT_EQ(job.ReadLine(), "HungUp");
  EXPECT_EQ(job.ReadLine(), "HungUp");
  EXPECT_EQ(job.ReadLine(), "idle");
  EXPECT_EQ(job.Finish(), 0);
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(1));
}

}  // namespace
}  // namespace vexpick
#endif
