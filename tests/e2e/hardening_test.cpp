// Text the program did not write, terminals that go away, and sizes at the
// edges: nothing breaks the screen, hangs or spins.
#include <signal.h>

#include <algorithm>

#include "console/utf8.h"
#include "gtest/gtest.h"
#include "pty_session.h"
#include "screen_checks.h"

namespace e2e {
namespace {

using namespace std::string_literals;

// A colour change, a window title (OSC 0 ended by BEL), a cursor move and a
// C1 control (CSI as one character), each shown as "?" per control character.
const std::string kHostile =
    "A\x1b[31mB\x1b]0;pwned\x07"
    "C\x1b[5;5HD\xc2\x9b"
    "1mE";
const std::string kHostileShown = "A?[31mB?]0;pwned?C?[5;5HD?1mE";

TEST(Hardening, ControlCharactersInAQuestionLineShowAsQuestionMarks) {
  TempDir dir;
  PtySession vexpick(SessionOptions{.args = {"--question=" + kHostile, "~Yes", "~No"},
                                    .stdinFrom = Stdin::kFile,
                                    .stdinFile = dir.Write("lines", kHostile + "\nnul\0byte\n"s)});
  ASSERT_TRUE(vexpick.WaitForRows({kHostileShown, "nul?byte", kHostileShown, "[YN]", ""}));
  for (int row = 1; row <= 4; ++row) {
    for (int column = 1; column <= 40; ++column) EXPECT_EQ(ColoursAt(vexpick, row, column), kTerminalColours);
  }
  EXPECT_EQ(vexpick.Title(), "");
  EXPECT_EQ(vexpick.Cursor(), (Position{5, 1}));
  vexpick.Press("y");
  EXPECT_EQ(vexpick.WaitForExit(), Exited(1));
}

TEST(Hardening, ControlCharactersInAnItemShowAsQuestionMarksAndTheHotkeyStillWorks) {
  PtySession menu({"--menu", "~Evil" + kHostile, "~Good\x1b[2J"});
  ASSERT_TRUE(menu.WaitForRows({"Evil" + kHostileShown, "Good?[2J", ""}));
  EXPECT_TRUE(MenuRow(menu, 1, "Evil" + kHostileShown, 1, true, kStartupMenuColours));
  EXPECT_TRUE(MenuRow(menu, 2, "Good?[2J", 1, false, kStartupMenuColours));
  EXPECT_EQ(menu.Title(), "");
  menu.Press("g");
  EXPECT_EQ(menu.WaitForExit(), Exited(2));
}

TEST(Hardening, ControlCharactersInTheDebugReportShowAsQuestionMarks) {
  PtySession vexpick(SessionOptions{.args = {"--debug", "--x=\x1b[2J", "~Yes\x1b]0;t\x07"}, .rows = 40});
  EXPECT_TRUE(vexpick.WaitForRows({"Params and options passed to program :", "Options 2", "Option 0 debug =  =  = 0",
                                   "Option 1 x = ?[2J = ?[2J = 1", "Params  1", "Param  0 ~Yes?]0;t? = 0"}));
  EXPECT_EQ(vexpick.Title(), "");
}

TEST(Hardening, TabsExpandToTheNextMultipleOfEight) {
  TempDir dir;
  PtySession vexpick(SessionOptions{.args = {"--question=x\ty", "~Yes"},
                                    .stdinFrom = Stdin::kFile,
                                    .stdinFile = dir.Write("lines", "a\tb\nabc\tde\tf\n")});
  ASSERT_TRUE(vexpick.WaitForRows({"a       b", "abc     de      f", "x       y", "[Y]"}));
  EXPECT_EQ(vexpick.Output().find('\t'), std::string::npos);
}

TEST(Hardening, TabsInAnItemAreBlanksInTheItemsColours) {
  PtySession menu({"--menu", "~a\tb", "~c"});
  ASSERT_TRUE(menu.WaitForRows({"a       b", "c"}));
  EXPECT_TRUE(MenuRow(menu, 1, "a       b", 1, true, kStartupMenuColours));
}

// Waiting for a key blocks: a second of waiting costs next to no CPU time.
class IdleWaiting : public testing::TestWithParam<std::vector<std::string>> {};

TEST_P(IdleWaiting, UsesNoCpu) {
  PtySession vexpick(SessionOptions{.args = GetParam(), .rows = 40});
  ASSERT_TRUE(vexpick.WaitFor([&] { return !vexpick.ScreenBlank(); }, "the program's first output"));
  ASSERT_TRUE(vexpick.WaitUntilWaiting());
  if (Timed()) {
    const auto before = vexpick.CpuTime();
    EXPECT_TRUE(vexpick.RunsFor(1s));
    EXPECT_LT(vexpick.CpuTime() - before, 5ms);
  }
  vexpick.Signal(SIGTERM);
  EXPECT_EQ(vexpick.WaitForExit(), KilledBy(SIGTERM));
}

INSTANTIATE_TEST_SUITE_P(Hardening, IdleWaiting,
                         testing::Values(std::vector<std::string>{"~Yes", "~No"},
                                         std::vector<std::string>{"--menu", "~Yes", "~No"},
                                         std::vector<std::string>{"--timeout=100", "~Yes", "~No"},
                                         std::vector<std::string>{"--debug", "~Yes", "~No"}));

// The terminal hangs up while the program waits for a key: it ends within a
// second, without spinning, whether the shell passes SIGHUP on or not. It ends
// as waiting would have: as after Escape, or with the countdown's choice long
// before the countdown runs out; or by SIGHUP, when that comes first.
struct HangupCase {
  std::string name;
  std::vector<std::string> args;
  Hangup hangup;
  std::vector<ExitStatus> statuses;  // any of them
};

void PrintTo(const HangupCase& hangup, std::ostream* out) { *out << hangup.name; }

class HangingUp : public testing::TestWithParam<HangupCase> {};

TEST_P(HangingUp, EndsTheProgramPromptly) {
  PtySession vexpick(SessionOptions{.args = GetParam().args, .hangup = GetParam().hangup});
  ASSERT_TRUE(vexpick.WaitFor([&] { return !vexpick.ScreenBlank(); }, "the prompt or the menu"));
  ASSERT_TRUE(vexpick.WaitUntilWaiting());
  const Clock::time_point hungUp = Clock::now();
  const auto before = vexpick.CpuTime();
  vexpick.HangUp();
  const auto status = vexpick.WaitForExit(2s);
  ASSERT_TRUE(status.has_value()) << "still running after the terminal hung up";
  const std::vector<ExitStatus>& allowed = GetParam().statuses;
  EXPECT_NE(std::find(allowed.begin(), allowed.end(), *status), allowed.end()) << testing::PrintToString(*status);
  if (!Timed()) return;
  EXPECT_LT(Clock::now() - hungUp, 1s);
  // A few milliseconds to restore what it can and end; more means it spun.
  EXPECT_LT(vexpick.CpuTime() - before, kSanitized ? 200ms : 10ms);
}

const std::vector<ExitStatus> kSignalOrEscape = {KilledBy(SIGHUP), Exited(0)};

INSTANTIATE_TEST_SUITE_P(
    Hardening, HangingUp,
    testing::Values(HangupCase{"MenuWithSighup", {"--menu", "~Yes", "~No"}, Hangup::kForward, kSignalOrEscape},
                    HangupCase{"MenuWithoutSighup", {"--menu", "~Yes", "~No"}, Hangup::kIgnore, {Exited(0)}},
                    HangupCase{"MenuCountdownWithoutSighup",
                               {"--menu", "--timeout=100", "--default=2", "~Yes", "~No"},
                               Hangup::kIgnore,
                               {Exited(2)}},
                    HangupCase{"PromptWithSighup", {"~Yes", "~No"}, Hangup::kForward, kSignalOrEscape},
                    HangupCase{"PromptWithoutSighup", {"~Yes", "~No"}, Hangup::kIgnore, {Exited(0)}},
                    HangupCase{"PromptCountdownWithoutSighup",
                               {"--timeout=100", "--default=2", "~Yes", "~No"},
                               Hangup::kIgnore,
                               {Exited(2)}}),
    [](const testing::TestParamInfo<HangupCase>& info) { return info.param.name; });

TEST(Hardening, ATerminalWithoutASizeCountsAsEightyByTwentyFour) {
  const auto hotkey = [](int number) {
    return std::string(1, static_cast<char>(number <= 10 ? '0' + number - 1 : 'a' + number - 11));
  };
  const auto item = [&](int number) { return "Item " + std::to_string(number) + " " + hotkey(number); };
  std::vector<std::string> args = {"--menu"};
  for (int number = 1; number <= 30; ++number) args.push_back("Item " + std::to_string(number) + " ~" + hotkey(number));
  PtySession menu(SessionOptions{.args = args, .columns = 80, .rows = 25, .hidesSize = true});
  ASSERT_TRUE(menu.WaitForRow(24, item(24)));
  EXPECT_EQ(menu.Row(25), "");
  menu.Press(keys::kEnd);
  ASSERT_TRUE(menu.WaitForRow(24, item(30)));
  EXPECT_EQ(menu.Row(1), item(7));
  menu.Press(keys::kEnter);
  EXPECT_EQ(menu.WaitForExit(), Exited(30));
}

TEST(Hardening, AOneByOneWindow) {
  PtySession menu(SessionOptions{.args = {"--menu", "~One", "~Two"}, .columns = 1, .rows = 1});
  ASSERT_TRUE(menu.WaitForRow(1, "O"));
  menu.Press(keys::kDown);
  ASSERT_TRUE(menu.WaitForRow(1, "T"));
  menu.Press(keys::kEnter);
  EXPECT_EQ(menu.WaitForExit(), Exited(2));

  // No room for any item below the question: it must still work.
  PtySession crowded(SessionOptions{.args = {"--menu", "--question=Which?", "~One", "~Two"}, .columns = 1, .rows = 1});
  ASSERT_TRUE(crowded.WaitUntilWaiting());
  crowded.Press(keys::kEnter);
  EXPECT_EQ(crowded.WaitForExit(), Exited(1));

  PtySession prompt(SessionOptions{.args = {"--question=Which?", "~One", "~Two"}, .columns = 1, .rows = 1});
  ASSERT_TRUE(prompt.WaitUntilWaiting());
  prompt.Press("t");
  EXPECT_EQ(prompt.WaitForExit(), Exited(2));
}

TEST(Hardening, AWideTallWindow) {
  PtySession menu(SessionOptions{.args = {"--menu", "--question=Which?", "~One", "~Two"}, .columns = 500, .rows = 200});
  ASSERT_TRUE(menu.WaitForRows({"Which?", "One", "Two", ""}));
  EXPECT_EQ(ColoursAt(menu, 2, 500).bg, kDefaultColor);
  EXPECT_EQ(ColoursAt(menu, 2, 3), kStartupMenuColours.highlight);
  menu.Press("t");
  EXPECT_EQ(menu.WaitForExit(), Exited(2));
  EXPECT_TRUE(BlankFrom(menu, 1, kDefaultColor));
}

TEST(Hardening, AHundredKilobyteItem) {
  const std::string huge = "~H" + std::string(100 * 1024, 'h');
  PtySession menu({"--menu", huge, "~Small"});
  ASSERT_TRUE(menu.WaitForRows({"H" + std::string(79, 'h'), "Small", ""}));
  EXPECT_EQ(menu.ScrolledRows(), 0);
  menu.Press(keys::kEnter);
  EXPECT_EQ(menu.WaitForExit(), Exited(1));
}

TEST(Hardening, TenThousandItems) {
  // Hotkeys from the CJK block: ten thousand characters without case, each
  // two columns wide.
  const auto hotkey = [](int item) { return vexpick::utf8::Encode(U'\u4E00' + static_cast<char32_t>(item)); };
  std::vector<std::string> args = {"--menu"};
  for (int item = 1; item <= 10000; ++item) args.push_back(std::to_string(item) + " ~" + hotkey(item));
  PtySession menu(args);
  // Far more than enough: the first screen must come, however slowly.
  ASSERT_TRUE(menu.WaitForRow(25, "25 " + hotkey(25), 40s));
  menu.Press(keys::kEnd);
  ASSERT_TRUE(menu.WaitForRow(25, "10000 " + hotkey(10000)));
  menu.Press(hotkey(9999));
  EXPECT_EQ(menu.WaitForExit(), Exited(9999 % 256));
}

}  // namespace
}  // namespace e2e
