// The one-line choice prompt: what it shows, which key gives which exit
// code, the countdown, and the terminal left as it was found.
#include <signal.h>

#include "gtest/gtest.h"
#include "pty_session.h"
#include "screen_checks.h"

namespace e2e {
namespace {

const std::vector<std::string> kContinue = {"--question=Continue?", "~Yes", "~No", "~Cancel"};

TEST(Prompt, ShowsTheQuestionAndTheHotkeys) {
  PtySession vexpick(kContinue);
  ASSERT_TRUE(vexpick.WaitForRows({"Continue?", "[YNC]", ""}));
  EXPECT_TRUE(vexpick.WaitUntilWaiting());
  EXPECT_EQ(vexpick.Cursor(), (Position{3, 1}));
  EXPECT_TRUE(vexpick.CursorVisible());
  EXPECT_EQ(ColoursAt(vexpick, 1, 1), kTerminalColours);
  EXPECT_EQ(ColoursAt(vexpick, 2, 2), kTerminalColours);
}

struct KeyCase {
  std::string name;
  std::vector<std::string> args;
  std::vector<std::string_view> keys;
  int exitCode;
};

void PrintTo(const KeyCase& keyCase, std::ostream* out) { *out << keyCase.name; }

class PromptKeys : public testing::TestWithParam<KeyCase> {};

TEST_P(PromptKeys, EndWithTheExitCode) {
  PtySession vexpick(GetParam().args);
  const auto promptShown = [&] {
    const std::string above = vexpick.Row(vexpick.Cursor().row - 1);
    return above.starts_with("[") && above.ends_with("]");
  };
  ASSERT_TRUE(vexpick.WaitFor(promptShown, "the hotkey line above the cursor"));
  const Position afterThePrompt = vexpick.Cursor();
  for (std::string_view key : GetParam().keys) vexpick.Press(key);
  EXPECT_EQ(vexpick.WaitForExit(), Exited(GetParam().exitCode));
  // Nothing is written after the choice: no echo, no line end.
  EXPECT_EQ(vexpick.Cursor(), afterThePrompt);
  EXPECT_EQ(vexpick.Row(afterThePrompt.row), "");
}

INSTANTIATE_TEST_SUITE_P(
    Prompt, PromptKeys,
    testing::Values(KeyCase{"HotkeyN", kContinue, {"n"}, 2}, KeyCase{"HotkeyInUpperCase", kContinue, {"C"}, 3},
                    KeyCase{"EnterChoosesTheFirstItem", kContinue, {"\r"}, 1},
                    KeyCase{"EscapeCancels", kContinue, {"\x1b"}, 0},
                    KeyCase{"IgnoredKeysThenHotkey", kContinue, {"x", keys::kUp, keys::kF5, " ", "n"}, 2},
                    KeyCase{"DefaultThree", With(kContinue, {"--default=3"}), {"\r"}, 3},
                    KeyCase{"DefaultBeforeTheItems", {"--default=2", "~Yes", "~No", "~Cancel"}, {"\r"}, 2},
                    KeyCase{"DefaultOutOfRange", With(kContinue, {"--default=9"}), {"\r"}, 1},
                    KeyCase{"DefaultNotANumber", With(kContinue, {"--default=abc"}), {"\r"}, 1},
                    KeyCase{"HotkeyBeatsDefault", With(kContinue, {"--default=3"}), {"y"}, 1},
                    KeyCase{"AutomaticHotkeys", {"Yes", "No", "Never"}, {"E"}, 3},
                    KeyCase{"TildeHotkey", {"a~", "~~x"}, {"~"}, 2},
                    KeyCase{"EqualsSignHotkey", {"a=b", "~=c"}, {"="}, 2},
                    KeyCase{"LongestTimeoutIsNoTimeoutYet", With(kContinue, {"--timeout=2147483647"}), {"\x1b"}, 0}),
    [](const testing::TestParamInfo<KeyCase>& info) { return info.param.name; });

TEST(Prompt, HotkeysAreListedAsStored) {
  PtySession vexpick({"Yes", "No", "Never", "x~~y~z", "a=b", "~=c", "~~x"});
  EXPECT_TRUE(vexpick.WaitForRow(1, "[YNeza=~]"));
}

TEST(Prompt, AMultiByteHotkeyShowsWholeAndIsChosenInEitherCase) {
  for (const auto& [typed, exitCode] : std::vector<std::pair<std::string, int>>{{"ö", 2}, {"Ö", 2}, {"ä", 1}}) {
    PtySession vexpick({"~Ähre", "~Öl"});
    ASSERT_TRUE(vexpick.WaitForRow(1, "[ÄÖ]"));
    vexpick.Press(typed);
    EXPECT_EQ(vexpick.WaitForExit(), Exited(exitCode)) << "typed " << typed;
  }
}

// Runs that end at once, before anything is shown, not even the debug report.
struct SilentEnd {
  std::string name;
  std::vector<std::string> args;
  int exitCode;
};

void PrintTo(const SilentEnd& silentEnd, std::ostream* out) { *out << silentEnd.name; }

class SilentEnds : public testing::TestWithParam<SilentEnd> {};

TEST_P(SilentEnds, ShowNothingAndEndWithTheExitCode) {
  PtySession vexpick(GetParam().args);
  EXPECT_EQ(vexpick.WaitForExit(), Exited(GetParam().exitCode));
  EXPECT_TRUE(vexpick.ScreenBlank()) << vexpick.Dump();
}

INSTANTIATE_TEST_SUITE_P(
    Prompt, SilentEnds,
    testing::Values(
        SilentEnd{"AnEmptyItem", {"--question=Continue?", "~Yes", "", "~No"}, 255},
        SilentEnd{"ARefusedHotkey", {"~Yes", "~yes"}, 255}, SilentEnd{"WithoutItems", {"--question=Continue?"}, 0},
        SilentEnd{"DebugWithARefusedItem", {"--debug", "~Yes", ""}, 255},
        SilentEnd{"DebugWithAFailedQuestionFile", {"--debug", "--question-file=/nonexistent/notes", "~Yes"}, 0},
        SilentEnd{"AFailedQuestionFileWithARefusedItem", {"--question-file=/nonexistent/notes.txt", "~Yes", ""}, 255}),
    [](const testing::TestParamInfo<SilentEnd>& info) { return info.param.name; });

TEST(Prompt, KeysTypedBeforeThePromptAreDiscarded) {
  SessionOptions options{.args = kContinue, .typeahead = "n"};
  PtySession vexpick(options);
  ASSERT_TRUE(vexpick.WaitFor([&] { return vexpick.Row(2) == "[YNC]"; }, "the prompt"));
  EXPECT_TRUE(vexpick.RunsFor()) << "the key typed before the prompt was taken";
  vexpick.Press("c");
  EXPECT_EQ(vexpick.WaitForExit(), Exited(3));
}

TEST(Prompt, QuietShowsNothingAndStillReadsKeys) {
  PtySession vexpick(With(kContinue, {"--quiet"}));
  ASSERT_TRUE(vexpick.WaitUntilWaiting());
  EXPECT_TRUE(vexpick.ScreenBlank()) << vexpick.Dump();
  vexpick.Press("n");
  EXPECT_EQ(vexpick.WaitForExit(), Exited(2));
  EXPECT_TRUE(vexpick.ScreenBlank()) << vexpick.Dump();
}

TEST(Prompt, NothingGoesToARedirectedStandardOutput) {
  TempDir dir;
  SessionOptions options{.args = kContinue, .stdoutTo = Stdout::kFile, .stdoutFile = dir.PathOf("out")};
  PtySession vexpick(options);
  ASSERT_TRUE(vexpick.WaitForRows({"Continue?", "[YNC]"}));
  vexpick.Press("n");
  EXPECT_EQ(vexpick.WaitForExit(), Exited(2));
  EXPECT_EQ(ReadFile(options.stdoutFile), "");
}

// The prompt's and the menu's countdown.
struct CountdownCase {
  std::string name;
  std::vector<std::string> args;
  std::vector<std::string> shownRows;
};

void PrintTo(const CountdownCase& countdown, std::ostream* out) { *out << countdown.name; }

class Countdown : public testing::TestWithParam<CountdownCase> {};

// The countdown runs from the program's start; the program is started just
// after the clock is read, so its end cannot be seen before a full second.
TEST_P(Countdown, PicksTheDefaultAfterALittleMoreThanASecond) {
  PtySession vexpick(With(GetParam().args, {"--timeout=1", "--default=2"}));
  ASSERT_TRUE(vexpick.WaitForRows(GetParam().shownRows));
  EXPECT_EQ(vexpick.WaitForExit(10s), Exited(2));
  EXPECT_GE(vexpick.RunTime(), 1000ms);
  if (Timed()) {
    EXPECT_LT(vexpick.RunTime(), 4000ms);
  }
}

INSTANTIATE_TEST_SUITE_P(Timeout, Countdown,
                         testing::Values(CountdownCase{"Prompt", kContinue, {"Continue?", "[YNC]"}},
                                         CountdownCase{
                                             "Menu", {"--menu", "~One", "~Two", "T~hree"}, {"One", "Two", "Three"}}),
                         [](const testing::TestParamInfo<CountdownCase>& info) { return info.param.name; });

TEST(Prompt, AnyKeyStopsTheCountdown) {
  PtySession vexpick(With(kContinue, {"--timeout=2"}));
  ASSERT_TRUE(vexpick.WaitForRows({"Continue?", "[YNC]"}));
  vexpick.Press("x");
  const milliseconds pastTheTimeout = 3500ms - vexpick.Elapsed();
  EXPECT_TRUE(vexpick.RunsFor(pastTheTimeout)) << "the countdown went on after a key";
  vexpick.Press("n");
  EXPECT_EQ(vexpick.WaitForExit(), Exited(2));
}

TEST(Prompt, WithoutAKeyboardEndsAtOnceAsAfterEscape) {
  PtySession vexpick(SessionOptions{.args = kContinue, .stdinFrom = Stdin::kDevNull});
  EXPECT_EQ(vexpick.WaitForExit(), Exited(0));
  if (Timed()) {
    EXPECT_LT(vexpick.RunTime(), 2000ms);
  }
}

TEST(Prompt, WithoutAKeyboardTheCountdownStillRunsOut) {
  PtySession vexpick(
      SessionOptions{.args = With(kContinue, {"--timeout=1", "--default=3"}), .stdinFrom = Stdin::kDevNull});
  ASSERT_TRUE(vexpick.WaitUntilWaiting());
  if (Timed()) {
    const auto before = vexpick.CpuTime();
    EXPECT_TRUE(vexpick.RunsFor(500ms));
    EXPECT_LT(vexpick.CpuTime() - before, 5ms) << "it spun while it waited";
  }
  EXPECT_EQ(vexpick.WaitForExit(10s), Exited(3));
  EXPECT_GE(vexpick.RunTime(), 1000ms);
}

// Every way out leaves the terminal's settings exactly as they were, the
// cursor visible and the colours reset; a signal ends the process by itself.
struct WayOut {
  std::string name;
  std::string key;  // typed, or empty to send `signal`
  int signal;
  ExitStatus status;
};

void PrintTo(const WayOut& wayOut, std::ostream* out) { *out << wayOut.name; }

class PromptWaysOut : public testing::TestWithParam<WayOut> {};

TEST_P(PromptWaysOut, RestoreTheTerminal) {
  PtySession vexpick(kContinue);
  ASSERT_TRUE(vexpick.WaitForRows({"Continue?", "[YNC]"}));
  ASSERT_TRUE(vexpick.WaitUntilWaiting());
  EXPECT_FALSE(SameSettings(vexpick.Settings(), vexpick.InitialSettings())) << "the prompt reads keys one by one";
  if (GetParam().key.empty()) {
    vexpick.Signal(GetParam().signal);
  } else {
    vexpick.Type(GetParam().key);
  }
  EXPECT_EQ(vexpick.WaitForExit(), GetParam().status);
  EXPECT_TRUE(SameSettings(vexpick.Settings(), vexpick.InitialSettings()));
  EXPECT_TRUE(vexpick.CursorVisible());
  EXPECT_EQ(PenOf(vexpick), kTerminalColours);
}

INSTANTIATE_TEST_SUITE_P(Prompt, PromptWaysOut,
                         testing::Values(WayOut{"Enter", "\r", 0, Exited(1)}, WayOut{"Escape", "\x1b", 0, Exited(0)},
                                         WayOut{"CtrlC", "\x03", 0, KilledBy(SIGINT)},
                                         WayOut{"CtrlBackslash", "\x1c", 0, KilledBy(SIGQUIT)},
                                         WayOut{"Sigterm", "", SIGTERM, KilledBy(SIGTERM)},
                                         WayOut{"Sighup", "", SIGHUP, KilledBy(SIGHUP)}),
                         [](const testing::TestParamInfo<WayOut>& info) { return info.param.name; });

}  // namespace
}  // namespace e2e
