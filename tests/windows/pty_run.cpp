// Runs a command with a new pseudo-terminal as its controlling terminal,
// standard input and standard error, so that wine gives the Windows program a
// console of the terminal's size, 80 x 25 (wine takes the size from standard error).
// Standard output stays this program's, so test reports arrive clean. The
// terminal's output (wine drawing its console) is drained, and written to a
// file with --log. Nothing is ever typed into the terminal.
//
//   pty_run [--timeout SECONDS] [--log FILE] -- COMMAND...
//
// The exit status is the command's; 124 when the time ran out.
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

struct Options {
  int timeoutSeconds = 300;
  const char* log = nullptr;
  char** command = nullptr;
};

[[noreturn]] void Usage() {
  std::fprintf(stderr, "usage: pty_run [--timeout SECONDS] [--log FILE] -- COMMAND...\n");
  std::exit(2);
}

Options ParseOptions(int argc, char** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    const std::string option = argv[i];
    if (option == "--") {
      if (i + 1 >= argc) Usage();
      options.command = argv + i + 1;
      return options;
    }
    if (i + 1 >= argc) Usage();
    const char* value = argv[++i];
    if (option == "--timeout") {
      options.timeoutSeconds = std::atoi(value);
    } else if (option == "--log") {
      options.log = value;
    } else {
      Usage();
    }
  }
  Usage();
}

double Seconds() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

// Reads whatever the terminal has for us within `milliseconds`; false once
// nothing holds the terminal open any more.
bool Drain(int master, int log, int milliseconds) {
  pollfd terminal{master, POLLIN, 0};
  char buffer[4096];
  while (poll(&terminal, 1, milliseconds) > 0) {
    if ((terminal.revents & POLLIN) == 0) return false;
    const ssize_t got = read(master, buffer, sizeof buffer);
    if (got <= 0) return false;
    if (log >= 0 && write(log, buffer, static_cast<size_t>(got)) < 0) return true;
    milliseconds = 0;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  const Options options = ParseOptions(argc, argv);
  const int log = options.log != nullptr ? open(options.log, O_WRONLY | O_CREAT | O_APPEND, 0644) : -1;

  int master = -1;
  int terminal = -1;
  winsize size{25, 80, 0, 0};
  if (openpty(&master, &terminal, nullptr, nullptr, &size) != 0) {
    std::perror("pty_run: openpty");
    return 2;
  }
  const pid_t child = fork();
  if (child < 0) {
    std::perror("pty_run: fork");
    return 2;
  }
  if (child == 0) {
    setsid();
    ioctl(terminal, TIOCSCTTY, 0);
    dup2(terminal, STDIN_FILENO);
    dup2(terminal, STDERR_FILENO);
    close(terminal);
    close(master);
    execvp(options.command[0], options.command);
    std::perror("pty_run: exec");
    _exit(127);
  }
  close(terminal);

  const double deadline = Seconds() + options.timeoutSeconds;
  int status = 0;
  while (waitpid(child, &status, WNOHANG) == 0) {
    if (Seconds() > deadline) {
      std::fprintf(stderr, "pty_run: %s took more than %d s, stopped\n", options.command[0], options.timeoutSeconds);
      kill(-child, SIGKILL);
      waitpid(child, &status, 0);
      return 124;
    }
    if (!Drain(master, log, 50)) usleep(50 * 1000);
  }
  Drain(master, log, 0);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return WEXITSTATUS(status);
}
