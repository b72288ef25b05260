// The harness itself, checked against the shell and printf: if these fail,
// no other end-to-end result means anything.
#include <signal.h>

#include "gtest/gtest.h"
#include "pty_session.h"

namespace e2e {
namespace {

SessionOptions Shell(std::string script) {
  return SessionOptions{.args = {"-c", std::move(script)}, .program = "/bin/sh"};
}

TEST(PtySession, ReadsCharactersColoursAndCursor) {
  PtySession shell(Shell(R"sh(printf '\033[31;104mR\033[0mD\033[97mÄ\033[?25l\033[3;5H'; read line)sh"));
  ASSERT_TRUE(shell.WaitFor([&] { return !shell.CursorVisible(); }, "the cursor to hide"));
  EXPECT_EQ(shell.Row(1), "RDÄ");
  const Cell red = shell.CellAt(1, 1);
  EXPECT_EQ(red.text, "R");
  EXPECT_EQ(red.fg, 1);
  EXPECT_EQ(red.bg, 12);
  const Cell plain = shell.CellAt(1, 2);
  EXPECT_EQ(plain.fg, kDefaultColor);
  EXPECT_EQ(plain.bg, kDefaultColor);
  EXPECT_EQ(shell.CellAt(1, 3).fg, 15);
  EXPECT_EQ(shell.CellAt(1, 3).text, "Ä");
  EXPECT_EQ(shell.Cursor(), (Position{3, 5}));
  shell.Type(keys::kEnter);
  EXPECT_EQ(shell.WaitForExit(), Exited(0));
}

TEST(PtySession, TheTerminalIsTheControllingTerminal) {
  PtySession shell(Shell("echo to-the-tty > /dev/tty; exit 3"));
  EXPECT_EQ(shell.WaitForExit(), Exited(3));
  EXPECT_EQ(shell.Row(1), "to-the-tty");
}

TEST(PtySession, TerminalKeysSignalTheForegroundJob) {
  PtySession shell(Shell("printf ready; exec sleep 30"));
  ASSERT_TRUE(shell.WaitForRow(1, "ready"));
  ASSERT_TRUE(shell.WaitFor([&] { return shell.ProcessState() == 'S'; }, "sleep to wait"));
  shell.Type(keys::kCtrlZ);
  ASSERT_TRUE(shell.WaitFor([&] { return shell.ProcessState() == 'T'; }, "the job to stop"));
  shell.Signal(SIGCONT);
  ASSERT_TRUE(shell.WaitFor([&] { return shell.ProcessState() != 'T'; }, "the job to continue"));
  shell.Type(keys::kCtrlC);
  EXPECT_EQ(shell.WaitForExit(), KilledBy(SIGINT));
}

TEST(PtySession, PressWaitsUntilTheProgramWaitsAndHasReadTheKey) {
  PtySession shell(Shell(R"sh(read a; printf '<%s>' "$a"; read b; printf '<%s>' "$b")sh"));
  shell.Press("one\r");
  shell.Press("two\r");
  EXPECT_EQ(shell.WaitForExit(), Exited(0));
  EXPECT_EQ(shell.Row(1), "one");
  EXPECT_EQ(shell.Row(2), "<one>two");
  EXPECT_EQ(shell.Row(3), "<two>");
}

TEST(PtySession, StandardInputFromAFileAPipeNullOrNothing) {
  TempDir dir;
  const std::string script = R"sh(if [ -e /proc/$$/fd/0 ]; then printf '[%s]' "$(cat)"; else printf closed; fi)sh";

  SessionOptions fromFile = Shell(script);
  fromFile.stdinFrom = Stdin::kFile;
  fromFile.stdinFile = dir.Write("in.txt", "from file");
  PtySession file(fromFile);
  EXPECT_EQ(file.WaitForExit(), Exited(0));
  EXPECT_EQ(file.Row(1), "[from file]");

  SessionOptions fromPipe = Shell(script);
  fromPipe.stdinFrom = Stdin::kPipe;
  PtySession pipe(fromPipe);
  pipe.WriteStdin("one ");
  EXPECT_TRUE(pipe.RunsFor(100ms));
  pipe.WriteStdin("two");
  pipe.CloseStdin();
  EXPECT_EQ(pipe.WaitForExit(), Exited(0));
  EXPECT_EQ(pipe.Row(1), "[one two]");

  SessionOptions fromNull = Shell(script);
  fromNull.stdinFrom = Stdin::kDevNull;
  PtySession null(fromNull);
  EXPECT_EQ(null.WaitForExit(), Exited(0));
  EXPECT_EQ(null.Row(1), "[]");

  SessionOptions closed = Shell(script);
  closed.stdinFrom = Stdin::kClosed;
  PtySession none(closed);
  EXPECT_EQ(none.WaitForExit(), Exited(0));
  EXPECT_EQ(none.Row(1), "closed");
}

TEST(PtySession, SeesWhatIsLeftInTheStandardInputPipe) {
  SessionOptions options = Shell("head -c 2 >/dev/null");
  options.stdinFrom = Stdin::kPipe;
  PtySession shell(options);
  shell.WriteStdin("abcdef");
  EXPECT_EQ(shell.WaitForExit(), Exited(0));
  EXPECT_EQ(shell.UnreadStdin(), "cdef");
}

TEST(PtySession, StandardOutputToAFile) {
  TempDir dir;
  SessionOptions options = Shell("echo to-stdout; echo to-tty > /dev/tty");
  options.stdoutTo = Stdout::kFile;
  options.stdoutFile = dir.PathOf("out.txt");
  PtySession shell(options);
  EXPECT_EQ(shell.WaitForExit(), Exited(0));
  EXPECT_EQ(shell.Row(1), "to-tty");
  EXPECT_EQ(ReadFile(options.stdoutFile), "to-stdout\n");
}

TEST(PtySession, TypeaheadWaitsInTheTerminal) {
  SessionOptions options = Shell("read line; printf '<%s>' \"$line\"");
  options.typeahead = "early\r";
  PtySession shell(options);
  EXPECT_EQ(shell.WaitForExit(), Exited(0));
  EXPECT_EQ(shell.Row(2), "<early>");
}

TEST(PtySession, TellsChangedTerminalSettings) {
  PtySession careless(Shell("stty raw -echo"));
  EXPECT_EQ(careless.WaitForExit(), Exited(0));
  EXPECT_FALSE(SameSettings(careless.Settings(), careless.InitialSettings()));

  PtySession careful(Shell("saved=$(stty -g); stty raw -echo; stty \"$saved\""));
  EXPECT_EQ(careful.WaitForExit(), Exited(0));
  EXPECT_TRUE(SameSettings(careful.Settings(), careful.InitialSettings()));
}

TEST(PtySession, HangingUpSignalsOrEndsTheInput) {
  PtySession forwarded(Shell("printf ready; exec sleep 30"));
  ASSERT_TRUE(forwarded.WaitForRow(1, "ready"));
  forwarded.HangUp();
  EXPECT_EQ(forwarded.WaitForExit(1s), KilledBy(SIGHUP));

  SessionOptions options = Shell("printf ready; read line; exit 4");
  options.hangup = Hangup::kIgnore;
  PtySession ignored(options);
  ASSERT_TRUE(ignored.WaitForRow(1, "ready"));
  ignored.HangUp();
  EXPECT_EQ(ignored.WaitForExit(1s), Exited(4));
}

TEST(PtySession, MeasuresRunTimeAndCpuTime) {
  PtySession shell(Shell("sleep 0.3"));
  EXPECT_EQ(shell.WaitForExit(), Exited(0));
  EXPECT_GE(shell.RunTime(), 300ms);
  EXPECT_LT(shell.CpuTime(), 200ms);

  PtySession busy(Shell("i=0; while [ $i -lt 200000 ]; do i=$((i+1)); done"));
  EXPECT_EQ(busy.WaitForExit(20s), Exited(0));
  EXPECT_GT(busy.CpuTime(), 20ms);
}

TEST(PtySession, CountsOutputAndScrolling) {
  PtySession shell(Shell("seq 1 30; read line; printf more"));
  ASSERT_TRUE(shell.WaitForRow(24, "30"));
  EXPECT_EQ(shell.ScrolledRows(), 6);
  EXPECT_EQ(shell.Output().find("\r\n30\r\n") != std::string::npos, true);
  EXPECT_EQ(shell.BytesWithin(100ms), 0u);
  const std::size_t mark = shell.Mark();
  shell.Type(keys::kEnter);
  EXPECT_EQ(shell.WaitForExit(), Exited(0));
  EXPECT_EQ(shell.OutputSince(mark), "\r\nmore");
}

}  // namespace
}  // namespace e2e
