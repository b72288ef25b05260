// One program run in a pseudo-terminal of its own, watched from the master
// side: what it writes and when, and when it ends.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace bench {

// Nanoseconds on the monotonic clock.
using Nanos = std::int64_t;
Nanos Now();
constexpr Nanos Milliseconds(std::int64_t count) { return count * 1'000'000; }
constexpr double ToMilliseconds(Nanos nanos) { return static_cast<double>(nanos) / 1e6; }

struct Command {
  std::vector<std::string> argv;
  std::string stdinFile;  // empty: standard input is the terminal
};

// Output that arrived in one stretch.
struct Burst {
  std::string bytes;
  Nanos lastByte = 0;  // when the last byte was read; 0 when none came
};

class PtySession {
 public:
  // Starts `command` with a terminal of `columns` x `rows` as its controlling
  // terminal and standard handles. Throws std::runtime_error when it cannot.
  PtySession(const Command& command, int columns, int rows);
  ~PtySession();
  PtySession(const PtySession&) = delete;
  PtySession& operator=(const PtySession&) = delete;

  [[nodiscard]] pid_t Pid() const { return pid_; }
  [[nodiscard]] Nanos StartTime() const { return start_; }
  // Whether the program asked for cursor keys in application mode (SS3).
  [[nodiscard]] bool ApplicationCursorKeys() const { return applicationCursorKeys_; }

  // Called after every read that brought output, while the program still
  // runs: a moment to sample what the kernel counts for it.
  void OnOutput(std::function<void()> hook) { onOutput_ = std::move(hook); }
  // Reads until nothing arrived for `quiet` or `limit` passed. With
  // `untilFirstByte` the quiet time only counts once output has begun.
  Burst ReadUntilQuiet(Nanos quiet, Nanos limit, bool untilFirstByte = false);
  // Throws std::system_error when the terminal cannot be written.
  void WriteKeys(std::string_view keys);
  // Waits for the program to end, reading its output meanwhile; the time it
  // ended, or nothing when `limit` passed first.
  std::optional<Nanos> WaitForExit(Nanos limit);
  // The exit code, or 128 + the signal that ended the program.
  [[nodiscard]] int ExitStatus() const { return exitStatus_; }

 private:
  // Reads what is there; false when nothing was.
  bool ReadAvailable(Burst& into);
  // Follows the modes the program sets and answers its cursor position queries.
  void Watch(std::string_view output);
  void Reap();

  pid_t pid_ = -1;
  int master_ = -1;
  int pidFd_ = -1;
  Nanos start_ = 0;
  bool masterOpen_ = true;
  bool exited_ = false;
  int exitStatus_ = -1;
  bool applicationCursorKeys_ = false;
  std::function<void()> onOutput_;
  std::string tail_;  // the end of the output so far, for sequences split across reads
};

}  // namespace bench
