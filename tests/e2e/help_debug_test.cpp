// The help text, the debug report with its two key pauses, and the result
// line: all written to the terminal, never to standard output.
#include "gtest/gtest.h"
#include "pty_session.h"
#include "screen_checks.h"

namespace e2e {
namespace {

const std::vector<std::string> kHelp = {
    "SYNTAX  Vexpick.exe  [options] Item1 Item2 ... ItemN",
    "",
    "OPTIONS :",
    "--menu                    show menu",
    "--quiet                   do not show anything",
    "--question=question text  show questions to ask",
    "--default=n               default item = n",
    "--timeout=nSec            default item in nSec seconds",
    "--color=nColor            set custom colors for menu mode",
    "",
    "NOTE: mark items hotkey with tilde",
    "      (ie. Test~1 shows Test1 executes on \"1\") ",
    "      double tilde shows tilde",
    "      program returns errorlevel 1-N ",
    "      ESC returns errorlevel 0 ",
    "      Enter returns errorlevel of default item ",
    "",
    "      color option is integer and represents 6 colors used",
    "        Normal color, background, highlighted text",
    "        Active color, background, highlighted text",
    "        in hex format $(HC)(NC)(HB)(HT)(NB)(NT)",
    "        ie. --color=$00FF7E1E or --color=0x00FF7E1E",
    "            draws yellow on black white shortcut ",
    "            with selection yellow on gray white shortcut ",
    "            --color=16743966 will draw same result",
};

std::vector<std::string> TrimmedRows(const std::vector<std::string>& lines) {
  std::vector<std::string> rows;
  for (std::string line : lines) rows.push_back(line.erase(line.find_last_not_of(' ') + 1));
  return rows;
}

// A window tall enough that nothing scrolls away.
SessionOptions Tall(std::vector<std::string> args) { return SessionOptions{.args = std::move(args), .rows = 40}; }

class Help : public testing::TestWithParam<std::vector<std::string>> {};

TEST_P(Help, PrintsTheUsageTextAndEndsWithZero) {
  TempDir dir;
  SessionOptions options = Tall(GetParam());
  options.stdoutTo = Stdout::kFile;
  options.stdoutFile = dir.PathOf("stdout");
  PtySession vexpick(options);
  EXPECT_EQ(vexpick.WaitForExit(), Exited(0));
  std::vector<std::string> rows = TrimmedRows(kHelp);
  rows.push_back("");
  EXPECT_TRUE(vexpick.WaitForRows(rows));
  EXPECT_NE(PlainText(vexpick.Output()).find(Joined(kHelp)), std::string::npos) << "the lines with their blanks:\n"
                                                                                << PlainText(vexpick.Output());
  EXPECT_EQ(ReadFile(options.stdoutFile), "");
}

INSTANTIATE_TEST_SUITE_P(
    Help, Help,
    testing::Values(std::vector<std::string>{"--help"}, std::vector<std::string>{"-help"},
                    std::vector<std::string>{"/HELP"}, std::vector<std::string>{"~Yes", "--Help", "~No"},
                    std::vector<std::string>{"--help", "~Yes", ""}, std::vector<std::string>{"--help", "~Yes", "~yes"},
                    std::vector<std::string>{"--debug", "--menu", "--help", "--question-file=/nonexistent"}));

TEST(Help, LeavesARedirectedStandardInputUnread) {
  SessionOptions options = Tall({"--help", "~Yes"});
  options.stdinFrom = Stdin::kPipe;
  PtySession vexpick(options);
  vexpick.WriteStdin("not for the help text\n");
  EXPECT_EQ(vexpick.WaitForExit(), Exited(0));
  EXPECT_EQ(vexpick.UnreadStdin(), "not for the help text\n");
  EXPECT_EQ(vexpick.Row(1), kHelp.front());
}

TEST(Help, SlashQuestionMarkIsNotHelp) {
  PtySession vexpick({"/?", "~Yes", "~No"});
  ASSERT_TRUE(vexpick.WaitForRows({"[YN]", ""}));
  vexpick.Press(keys::kEnter);
  EXPECT_EQ(vexpick.WaitForExit(), Exited(1));
}

// A debug run: the report up to the first pause, the rest up to the second,
// then the run, whose keys are given, and the result line.
struct DebugCase {
  std::string name;
  std::vector<std::string> args;
  std::string stdinText;  // a file on standard input when not empty
  std::vector<std::string> beforeFirstPause;
  std::vector<std::string> beforeSecondPause;
  std::vector<std::string> run;  // the screen rows the run adds
  std::vector<std::string> keys;
  std::string resultLine;
  int exitCode;
};

void PrintTo(const DebugCase& debugCase, std::ostream* out) { *out << debugCase.name; }

class Debug : public testing::TestWithParam<DebugCase> {};

TEST_P(Debug, ReportsPausesRunsAndReportsTheResult) {
  const DebugCase& debug = GetParam();
  TempDir dir;
  SessionOptions options = Tall(debug.args);
  if (!debug.stdinText.empty()) {
    options.stdinFrom = Stdin::kFile;
    options.stdinFile = dir.Write("stdin", debug.stdinText);
  }
  options.stdoutTo = Stdout::kFile;
  options.stdoutFile = dir.PathOf("stdout");
  PtySession vexpick(options);

  std::vector<std::string> lines = debug.beforeFirstPause;
  ASSERT_TRUE(vexpick.WaitForRows(TrimmedRows(lines)));
  EXPECT_TRUE(vexpick.RunsFor()) << "no pause after the options and parameters";
  EXPECT_EQ(vexpick.Row(static_cast<int>(lines.size()) + 1), "");
  vexpick.Press("x");

  lines.insert(lines.end(), debug.beforeSecondPause.begin(), debug.beforeSecondPause.end());
  ASSERT_TRUE(vexpick.WaitForRows(TrimmedRows(lines)));
  EXPECT_TRUE(vexpick.RunsFor()) << "no pause after the menu's settings";
  EXPECT_NE(PlainText(vexpick.Output()).find(Joined(lines)), std::string::npos) << "the report with its blanks:\n"
                                                                                << PlainText(vexpick.Output());
  vexpick.Press("x");

  lines.insert(lines.end(), debug.run.begin(), debug.run.end());
  ASSERT_TRUE(vexpick.WaitForRows(TrimmedRows(lines)));
  for (const std::string& key : debug.keys) vexpick.Press(key);
  EXPECT_EQ(vexpick.WaitForExit(), Exited(debug.exitCode));
  lines.push_back(debug.resultLine);
  lines.push_back("");
  EXPECT_TRUE(vexpick.WaitForRows(TrimmedRows(lines)));
  EXPECT_EQ(ReadFile(options.stdoutFile), "");
}

const std::vector<std::string> kNoSettings = {
    "", "Menu :", "ShowMenu = FALSE", "Quiet    = FALSE", "Question = ", "Default  = 0", "Timeout  = 0"};

INSTANTIATE_TEST_SUITE_P(
    Debug, Debug,
    testing::Values(
        DebugCase{"OnlyDebug",
                  {"--debug"},
                  "",
                  {"Params and options passed to program :", "Options 1", "Option 0 debug =  =  = 0", "Params  0"},
                  With(kNoSettings, {"Text     = "}),
                  {},
                  {},
                  "Menu result -1 ERRORLEVEL=0",
                  0},
        DebugCase{"OptionsWithValues",
                  {"--debug", "--question=Go?", "--timeout=$0A", "-TIMEOUT=7", "/default=2", "--x=a=b", "Apple",
                   "Apple", "~No"},
                  "",
                  {"Params and options passed to program :", "Options 6", "Option 0 debug =  =  = 0",
                   "Option 1 question = Go? = Go? = 1", "Option 2 timeout = $0A = $0A = 2",
                   "Option 3 TIMEOUT = 7 = $0A = 2", "Option 4 default = 2 = 2 = 4", "Option 5 x = a=b = a=b = 5",
                   "Params  3", "Param  0 Apple = 0", "Param  1 Apple = 0", "Param  2 ~No = 2"},
                  {"", "Menu :", "ShowMenu = FALSE", "Quiet    = FALSE", "Question = Go?", "Default  = 1",
                   "Timeout  = 10", "A Apple", "p Apple", "N No", "Text     = "},
                  {"Go?", "[ApN]"},
                  {"n"},
                  "Menu result 2 ERRORLEVEL=3",
                  3},
        DebugCase{"QuestionLines",
                  {"--debug", "--quiet", "~Yes"},
                  "a\nb\n",
                  {"Params and options passed to program :", "Options 2", "Option 0 debug =  =  = 0",
                   "Option 1 quiet =  =  = 1", "Params  1", "Param  0 ~Yes = 0"},
                  {"", "Menu :", "ShowMenu = FALSE", "Quiet    = TRUE", "Question = ", "Default  = 0", "Timeout  = 0",
                   "Y Yes", "Text     = a", "b", ""},
                  {},
                  {"\r"},
                  "Menu result 0 ERRORLEVEL=1",
                  1},
        DebugCase{"Escape",
                  {"--debug", "~Yes", "~No"},
                  "",
                  {"Params and options passed to program :", "Options 1", "Option 0 debug =  =  = 0", "Params  2",
                   "Param  0 ~Yes = 0", "Param  1 ~No = 1"},
                  With(kNoSettings, {"Y Yes", "N No", "Text     = "}),
                  {"[YN]"},
                  {"\x1b"},
                  "Menu result 0 ERRORLEVEL=0",
                  0}),
    [](const testing::TestParamInfo<DebugCase>& info) { return info.param.name; });

TEST(Debug, ACursorKeyAtEachPauseLeavesNothingForThePrompt) {
  PtySession vexpick(Tall({"--debug", "~A", "~B", "~[", "~1", "~~", "~O", "~Zed"}));
  ASSERT_TRUE(vexpick.WaitForRow(11, "Param  6 ~Zed = 6"));
  vexpick.Press(keys::kUp);
  ASSERT_TRUE(vexpick.WaitForRow(26, "Text     ="));
  vexpick.Press("\x1b[1~");
  ASSERT_TRUE(vexpick.WaitForRow(27, "[AB[1~OZ]"));
  EXPECT_TRUE(vexpick.RunsFor()) << "a byte of a cursor key was taken as a key";
  vexpick.Press("z");
  EXPECT_EQ(vexpick.WaitForExit(), Exited(7));
  EXPECT_EQ(vexpick.Row(28), "Menu result 6 ERRORLEVEL=7");
}

TEST(Debug, InMenuModeTheMenuClearsTheReportAndTheResultLineIsAtTheTop) {
  PtySession vexpick(Tall({"--debug", "--menu", "~Yes", "~No"}));
  ASSERT_TRUE(vexpick.WaitForRow(7, "Param  1 ~No = 1"));
  vexpick.Press("x");
  ASSERT_TRUE(vexpick.WaitForRow(17, "Text     ="));
  EXPECT_EQ(vexpick.Row(10), "ShowMenu = TRUE");
  vexpick.Press("x");
  ASSERT_TRUE(vexpick.WaitForRows({"Yes", "No", ""}));
  vexpick.Press("n");
  EXPECT_EQ(vexpick.WaitForExit(), Exited(2));
  EXPECT_TRUE(vexpick.WaitForRows({"Menu result 1 ERRORLEVEL=2", ""}));
}

TEST(Debug, WithoutAKeyboardThePausesReturnAtOnce) {
  SessionOptions options = Tall({"--debug", "~Yes"});
  options.stdinFrom = Stdin::kDevNull;
  PtySession vexpick(options);
  EXPECT_EQ(vexpick.WaitForExit(), Exited(0));
  EXPECT_EQ(vexpick.Row(14), "Text     =");
  EXPECT_EQ(vexpick.Row(15), "[Y]");
  EXPECT_EQ(vexpick.Row(16), "Menu result 0 ERRORLEVEL=0");
}

}  // namespace
}  // namespace e2e
