#include "pty_session.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <stdexcept>
#include <system_error>

namespace bench {
namespace {

timespec ToTimespec(Nanos nanos) {
  nanos = std::max<Nanos>(nanos, 0);
  return timespec{static_cast<time_t>(nanos / 1'000'000'000), static_cast<long>(nanos % 1'000'000'000)};
}

[[noreturn]] void ExecChild(const Command& command) {
  if (!command.stdinFile.empty()) {
    const int input = open(command.stdinFile.c_str(), O_RDONLY);
    if (input < 0 || dup2(input, STDIN_FILENO) < 0) _exit(126);
    close(input);
  }
  // The peers need a terminal type and a UTF-8 locale; the program under
  // test reads neither.
  setenv("TERM", "xterm", 1);
  setenv("LC_ALL", "C.UTF-8", 1);
  std::vector<char*> argv;
  for (const std::string& argument : command.argv) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  execvp(argv[0], argv.data());
  _exit(127);
}

}  // namespace

Nanos Now() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<Nanos>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

PtySession::PtySession(const Command& command, int columns, int rows) {
  winsize size{};
  size.ws_col = static_cast<unsigned short>(columns);
  size.ws_row = static_cast<unsigned short>(rows);
  start_ = Now();
  pid_ = forkpty(&master_, nullptr, nullptr, &size);
  if (pid_ < 0) throw std::runtime_error("forkpty failed");
  if (pid_ == 0) ExecChild(command);
  fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
  fcntl(master_, F_SETFD, FD_CLOEXEC);
  pidFd_ = static_cast<int>(syscall(SYS_pidfd_open, pid_, 0));
  if (pidFd_ < 0) {
    kill(pid_, SIGKILL);
    Reap();
    close(master_);
    throw std::runtime_error("pidfd_open failed (Linux 5.3 or later is needed)");
  }
}

PtySession::~PtySession() {
  if (!exited_) {
    kill(pid_, SIGKILL);
    Reap();
  }
  close(pidFd_);
  close(master_);
}

Burst PtySession::ReadUntilQuiet(Nanos quiet, Nanos limit, bool untilFirstByte) {
  Burst burst;
  const Nanos deadline = Now() + limit;
  Nanos lastActivity = Now();
  while (masterOpen_) {
    const bool waitingForFirst = untilFirstByte && burst.bytes.empty();
    const Nanos wakeAt = waitingForFirst ? deadline : std::min(lastActivity + quiet, deadline);
    const Nanos now = Now();
    if (now >= wakeAt) break;
    pollfd master{master_, POLLIN, 0};
    const timespec timeout = ToTimespec(wakeAt - now);
    if (ppoll(&master, 1, &timeout, nullptr) > 0 && ReadAvailable(burst)) lastActivity = burst.lastByte;
  }
  return burst;
}

void PtySession::WriteKeys(std::string_view keys) {
  while (!keys.empty()) {
    const ssize_t written = write(master_, keys.data(), keys.size());
    if (written < 0 && errno == EAGAIN) {
      pollfd ready{master_, POLLOUT, 0};
      poll(&ready, 1, 100);
      continue;
    }
    if (written < 0 && errno == EINTR) continue;
    if (written < 0) throw std::system_error(errno, std::generic_category(), "writing to the terminal");
    keys.remove_prefix(static_cast<std::size_t>(written));
  }
}

std::optional<Nanos> PtySession::WaitForExit(Nanos limit) {
  const Nanos deadline = Now() + limit;
  Burst discarded;
  for (;;) {
    const Nanos now = Now();
    if (now >= deadline) return std::nullopt;
    std::array<pollfd, 2> watched{pollfd{pidFd_, POLLIN, 0}, pollfd{masterOpen_ ? master_ : -1, POLLIN, 0}};
    const timespec timeout = ToTimespec(deadline - now);
    if (ppoll(watched.data(), watched.size(), &timeout, nullptr) <= 0) continue;
    if ((watched[0].revents & POLLIN) != 0) {
      const Nanos ended = Now();
      Reap();
      return ended;
    }
    if (watched[1].revents != 0) ReadAvailable(discarded);
  }
}

bool PtySession::ReadAvailable(Burst& into) {
  bool any = false;
  std::array<char, 65536> buffer{};
  for (;;) {
    const ssize_t count = read(master_, buffer.data(), buffer.size());
    if (count < 0 && errno == EINTR) continue;
    if (count < 0 && errno == EAGAIN) break;
    if (count <= 0) {  // EIO: every slave descriptor is closed
      masterOpen_ = false;
      break;
    }
    const std::string_view chunk(buffer.data(), static_cast<std::size_t>(count));
    into.bytes += chunk;
    into.lastByte = Now();
    any = true;
    Watch(chunk);
  }
  if (any && onOutput_) onOutput_();
  return any;
}

void PtySession::Watch(std::string_view output) {
  constexpr std::string_view kCursorKeysApplication = "\x1b[?1h";
  constexpr std::string_view kCursorKeysNormal = "\x1b[?1l";
  constexpr std::string_view kCursorPositionQuery = "\x1b[6n";
  const std::string seen = tail_ + std::string(output);
  const std::size_t set = seen.rfind(kCursorKeysApplication);
  const std::size_t reset = seen.rfind(kCursorKeysNormal);
  if (set != std::string::npos || reset != std::string::npos) {
    applicationCursorKeys_ = set != std::string::npos && (reset == std::string::npos || set > reset);
  }
  // Only a query that ends in the new output is answered: the tail was seen before.
  const std::size_t firstNew = tail_.size() - std::min(tail_.size(), kCursorPositionQuery.size() - 1);
  if (seen.find(kCursorPositionQuery, firstNew) != std::string::npos) WriteKeys("\x1b[1;1R");
  tail_ = seen.substr(seen.size() - std::min(seen.size(), kCursorKeysApplication.size() - 1));
}

void PtySession::Reap() {
  int status = 0;
  while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
  }
  exited_ = true;
  exitStatus_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

}  // namespace bench
