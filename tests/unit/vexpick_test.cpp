#include "Vexpick.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>

#include "support/fake_console.h"
#include "support/temp_dir.h"

namespace vexpick {
namespace {

using Strings = std::vector<std::string>;
using testing::FakeConsole;

// ---------------------------------------------------------------------------
// Number conversion

constexpr std::int32_t kFallback = 4242;

struct NumberCase {
  std::string text;
  std::int32_t value;
};

void PrintTo(const NumberCase& number, std::ostream* out) { *out << ::testing::PrintToString(number.text); }

class ConvertNumberTest : public ::testing::TestWithParam<NumberCase> {};

TEST_P(ConvertNumberTest, ConvertsOrFallsBack) {
  EXPECT_EQ(ConvertNumber(GetParam().text, kFallback), GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ConvertNumberTest,
    ::testing::Values(
        NumberCase{"16743966", 16743966}, NumberCase{"$00FF7E1E", 16743966}, NumberCase{"0x00FF7E1E", 16743966},
        NumberCase{"0X00ff7e1e", 16743966}, NumberCase{"x1f", 31}, NumberCase{"X1F", 31}, NumberCase{"%101", 5},
        NumberCase{"&17", 15}, NumberCase{" 7", 7}, NumberCase{"\t7", 7}, NumberCase{" \t \t7", 7}, NumberCase{"+7", 7},
        NumberCase{"-$10", -16}, NumberCase{"-x1f", -31}, NumberCase{"$FFFFFFFF", -1},
        NumberCase{"$80000000", INT32_MIN}, NumberCase{"-$FFFFFFFF", 1}, NumberCase{"-$80000000", INT32_MIN},
        NumberCase{"%11111111111111111111111111111111", -1}, NumberCase{"&37777777777", -1},
        NumberCase{"2147483647", INT32_MAX}, NumberCase{"-2147483647", -INT32_MAX},
        NumberCase{"-2147483648", INT32_MIN}, NumberCase{"0", 0}, NumberCase{"-0", 0}, NumberCase{"00", 0},
        NumberCase{"0x0", 0}, NumberCase{"000000000000000000000000000000000012", 12},
        NumberCase{std::string(254, ' ') + "7", 7},  // 255 characters
        // Not numbers.
        NumberCase{"", kFallback}, NumberCase{" ", kFallback}, NumberCase{"-", kFallback}, NumberCase{"+", kFallback},
        NumberCase{"$", kFallback}, NumberCase{"0x", kFallback}, NumberCase{"x", kFallback}, NumberCase{"%", kFallback},
        NumberCase{"&", kFallback}, NumberCase{"7 ", kFallback}, NumberCase{"7\t", kFallback},
        NumberCase{"1e3", kFallback}, NumberCase{"12abc", kFallback}, NumberCase{"$-10", kFallback},
        NumberCase{"$+10", kFallback}, NumberCase{"--7", kFallback}, NumberCase{"+-7", kFallback},
        NumberCase{"- 7", kFallback}, NumberCase{"\n7", kFallback}, NumberCase{"&8", kFallback},
        NumberCase{"%2", kFallback}, NumberCase{"$g", kFallback}, NumberCase{"0$10", kFallback},
        NumberCase{"0y10", kFallback}, NumberCase{"2147483648", kFallback}, NumberCase{"+2147483648", kFallback},
        NumberCase{"-2147483649", kFallback}, NumberCase{"4294967295", kFallback},
        NumberCase{"99999999999999999999999", kFallback}, NumberCase{"$100000000", kFallback},
        NumberCase{"%111111111111111111111111111111111", kFallback}, NumberCase{"&40000000000", kFallback},
        NumberCase{std::string(255, ' ') + "7", kFallback}));  // 256 characters

// ---------------------------------------------------------------------------
// The entry

StdHandleState ConsoleHandles(int which) { return {static_cast<SystemHandle>(which), false}; }

// Standard input redirected from a handle that delivers no data.
StdHandleState RedirectedEmptyInput(int which) {
  if (which == 0) return {kInvalidHandle, true};
  return ConsoleHandles(which);
}

std::string MissingFile() { return ::testing::TempDir() + "vexpick-no-such-file.txt"; }

Strings Lines(std::string_view output) {
  Strings lines;
  for (std::size_t end = output.find("\r\n"); end != std::string_view::npos; end = output.find("\r\n")) {
    lines.emplace_back(output.substr(0, end));
    output.remove_prefix(end + 2);
  }
  if (!output.empty()) lines.emplace_back(output);
  return lines;
}

class EntryTest : public ::testing::Test {
 protected:
  std::int32_t Run(Strings arguments, StdHandleQuery query = ConsoleHandles) {
    return RunVexpick(std::move(arguments), console, query);
  }
  FakeConsole console;
};

struct ExitCase {
  Strings arguments;
  std::vector<KeyCode> keys;
  std::int32_t exitCode;
};

void PrintTo(const ExitCase& exit, std::ostream* out) { *out << ::testing::PrintToString(exit.arguments); }

class EntryExitCodeTest : public EntryTest, public ::testing::WithParamInterface<ExitCase> {};

TEST_P(EntryExitCodeTest, EndsWithTheChosenItem) {
  console.keys.assign(GetParam().keys.begin(), GetParam().keys.end());
  EXPECT_EQ(Run(GetParam().arguments), GetParam().exitCode);
  EXPECT_TRUE(console.keys.empty()) << "a key was left unread";
}

const Strings kYesNoCancel{"~Yes", "~No", "~Cancel"};

Strings With(Strings options, const Strings& items = kYesNoCancel) {
  options.insert(options.end(), items.begin(), items.end());
  return options;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, EntryExitCodeTest,
    ::testing::Values(ExitCase{kYesNoCancel, {'n'}, 2}, ExitCase{kYesNoCancel, {'C'}, 3},
                      ExitCase{kYesNoCancel, {kKeyEnter}, 1}, ExitCase{kYesNoCancel, {kKeyEscape}, 0},
                      ExitCase{kYesNoCancel, {'q', kKeyUp, 'y'}, 1},  // ignored keys first
                      ExitCase{With({"--default=3"}), {kKeyEnter}, 3},
                      ExitCase{{"--default=2", "~a", "~b"}, {kKeyEnter}, 2},  // applied after the items
                      ExitCase{{"~a", "--DEFAULT=$2", "~b"}, {kKeyEnter}, 2},
                      ExitCase{With({"--default=0"}), {kKeyEnter}, 1}, ExitCase{With({"--default=-5"}), {kKeyEnter}, 1},
                      ExitCase{With({"--default=4"}), {kKeyEnter}, 1}, ExitCase{With({"--default"}), {kKeyEnter}, 1},
                      ExitCase{With({"--default=abc"}), {kKeyEnter}, 1},
                      ExitCase{With({"--default=-2147483648"}), {kKeyEnter}, 1},       // n - 1 wraps around
                      ExitCase{With({"--default=3", "--default=2"}), {kKeyEnter}, 3},  // the first one counts
                      ExitCase{With({"/?"}), {'n'}, 2},                                // not help
                      ExitCase{With({"--unknown=7", "-x", "/menux"}), {'n'}, 2}, ExitCase{{}, {}, 0}));

TEST_F(EntryTest, ShowsTheQuestionAndTheHotkeys) {
  console.keys = {'n'};
  EXPECT_EQ(Run(With({"--question=Continue?"})), 2);
  EXPECT_EQ(console.Row(1), "Continue?");
  EXPECT_EQ(console.Row(2), "[YNC]");
}

TEST_F(EntryTest, QuietShowsNothingButStillChooses) {
  console.keys = {'c'};
  EXPECT_EQ(Run(With({"--quiet", "--question=Continue?"})), 3);
  EXPECT_EQ(console.output, "");
}

TEST_F(EntryTest, WithoutItemsNothingIsShownAndNoKeyRead) {
  EXPECT_EQ(Run({"--question=Continue?"}), 0);
  EXPECT_EQ(console.output, "");
  EXPECT_EQ(console.waits, 0);
}

struct RefusedCase {
  Strings arguments;
  std::int32_t exitCode;
};

void PrintTo(const RefusedCase& refused, std::ostream* out) { *out << ::testing::PrintToString(refused.arguments); }

class EntrySkipTest : public EntryTest, public ::testing::WithParamInterface<RefusedCase> {};

// A refused item or a question list that cannot be loaded: the menu never
// runs and no report is printed.
TEST_P(EntrySkipTest, ShowsNothing) {
  EXPECT_EQ(Run(GetParam().arguments), GetParam().exitCode);
  EXPECT_EQ(console.output, "");
  EXPECT_EQ(console.waits, 0);
}

INSTANTIATE_TEST_SUITE_P(Cases, EntrySkipTest,
                         ::testing::Values(RefusedCase{{"~Yes", "", "~No"}, -1}, RefusedCase{{""}, -1},
                                           RefusedCase{{"--debug", "~a", ""}, -1},
                                           RefusedCase{{"~Yes", "~yes", "~No"}, -1},  // hotkey in use
                                           RefusedCase{{"ab", "ba", "ab"}, -1},       // every character in use
                                           RefusedCase{{"--question-file=" + MissingFile(), "~a"}, 0},
                                           RefusedCase{{"--debug", "--question-file=" + MissingFile(), "~a"}, 0},
                                           RefusedCase{{"--question-file=" + MissingFile(), "~a", ""}, -1},
                                           RefusedCase{{"--question-file=", "~a"}, 0}));

TEST_F(EntryTest, ShowsTheLinesOfTheQuestionFile) {
  const testing::TempDirectory folder;
  const std::string path = folder.Write("question.txt", "Backup finished.\r\nWhat now?\n");
  console.keys = {kKeyEnter};
  EXPECT_EQ(Run({"--question-file=" + path, "~Ok"}), 1);
  EXPECT_EQ(Lines(console.output), (Strings{"Backup finished.", "What now?", "[O]"}));
}

TEST_F(EntryTest, RedirectedInputHandsTheKeyboardToTheConsoleDevice) {
  console.keys = {'n'};
  EXPECT_EQ(Run(kYesNoCancel, RedirectedEmptyInput), 2);
  EXPECT_EQ(console.consoleDeviceSwaps, 1);
  EXPECT_EQ(Lines(console.output), (Strings{"[YNC]"}));
}

TEST_F(EntryTest, KeysStayOnTheConsoleWhenInputIsNotRedirected) {
  console.keys = {'n'};
  EXPECT_EQ(Run(kYesNoCancel), 2);
  EXPECT_EQ(console.consoleDeviceSwaps, 0);
}

TEST_F(EntryTest, RedirectedInputAndAMissingQuestionFileSkipTheRun) {
  EXPECT_EQ(Run(With({"--question-file=" + MissingFile()}), RedirectedEmptyInput), 0);
  EXPECT_EQ(console.consoleDeviceSwaps, 1);
  EXPECT_EQ(console.output, "");
}

TEST_F(EntryTest, TimeoutPicksTheDefaultAfterItsSeconds) {
  const Millis start = console.now;
  EXPECT_EQ(Run(With({"--timeout=$0A", "--default=2"})), 2);
  EXPECT_GT(console.now - start, 10000);
}

TEST(EntryTimeoutTest, NoNumberMeansNoTimeout) {
  for (const char* value : {"--timeout=abc", "--timeout=0", "--timeout=-3", "--timeout"}) {
    FakeConsole fresh;
    fresh.noKeyboard = true;  // without a countdown the run ends at once
    EXPECT_EQ(RunVexpick(With({value}), fresh, ConsoleHandles), 0) << value;
  }
}

// The menu clears the window as it ends: the colours it used show only in
// the console's calls.
std::ptrdiff_t YellowOnBlueSettings(const FakeConsole& console) { return std::ranges::count(console.calls, "attr 1E"); }

TEST_F(EntryTest, ColorAppliesOnlyWithMenu) {
  console.keys = {kKeyEnter};
  EXPECT_EQ(Run({"--menu", "--color=$00FF7E1E", "~a", "~b"}), 1);
  EXPECT_GT(YellowOnBlueSettings(console), 0);

  FakeConsole prompt;
  prompt.keys = {kKeyEnter};
  EXPECT_EQ(RunVexpick({"--color=$00FF7E1E", "~a", "~b"}, prompt, ConsoleHandles), 1);
  EXPECT_EQ(Lines(prompt.output), (Strings{"[ab]"}));
  EXPECT_EQ(YellowOnBlueSettings(prompt), 0);
}

TEST_F(EntryTest, ColorThatIsNoNumberKeepsTheDefaultColours) {
  console.keys = {kKeyEnter};
  EXPECT_EQ(Run({"--menu", "--color=16743966 ", "~a"}), 1);
  EXPECT_EQ(YellowOnBlueSettings(console), 0);
}

// ---------------------------------------------------------------------------
// Help text

struct HelpLine {
  std::string_view text;
  std::size_t characters;
};

constexpr HelpLine kHelpLines[] = {
    {"SYNTAX  Vexpick.exe  [options] Item1 Item2 ... ItemN", 52},
    {"", 0},
    {"OPTIONS :", 9},
    {"--menu                    show menu", 35},
    {"--quiet                   do not show anything", 46},
    {"--question=question text  show questions to ask", 47},
    {"--default=n               default item = n", 42},
    {"--timeout=nSec            default item in nSec seconds", 54},
    {"--color=nColor            set custom colors for menu mode", 57},
    {"", 0},
    {"NOTE: mark items hotkey with tilde", 34},
    {"      (ie. Test~1 shows Test1 executes on \"1\") ", 47},
    {"      double tilde shows tilde", 30},
    {"      program returns errorlevel 1-N ", 37},
    {"      ESC returns errorlevel 0 ", 31},
    {"      Enter returns errorlevel of default item ", 47},
    {"", 0},
    {"      color option is integer and represents 6 colors used", 58},
    {"        Normal color, background, highlighted text", 50},
    {"        Active color, background, highlighted text", 50},
    {"        in hex format $(HC)(NC)(HB)(HT)(NB)(NT)", 47},
    {"        ie. --color=$00FF7E1E or --color=0x00FF7E1E", 51},
    {"            draws yellow on black white shortcut ", 49},
    {"            with selection yellow on gray white shortcut ", 57},
    {"            --color=16743966 will draw same result", 50},
};

class HelpTest : public EntryTest, public ::testing::WithParamInterface<Strings> {};

TEST_P(HelpTest, PrintsTheHelpTextAndDoesNothingElse) {
  EXPECT_EQ(Run(GetParam(), RedirectedEmptyInput), 0);
  const Strings lines = Lines(console.output);
  ASSERT_EQ(lines.size(), std::size(kHelpLines));
  for (std::size_t i = 0; i < lines.size(); ++i) {
    EXPECT_EQ(lines[i], kHelpLines[i].text) << "line " << i + 1;
    EXPECT_EQ(lines[i].size(), kHelpLines[i].characters) << "line " << i + 1;
  }
  EXPECT_TRUE(console.output.ends_with("\r\n"));
  EXPECT_EQ(console.waits, 0);
  EXPECT_EQ(console.consoleDeviceSwaps, 0);  // standard input left unread
}

INSTANTIATE_TEST_SUITE_P(Cases, HelpTest,
                         ::testing::Values(Strings{"--help"}, Strings{"-help"}, Strings{"/HELP"},
                                           Strings{"--Help=me", "--debug"}, Strings{"~Yes", "", "--help"},
                                           Strings{"--menu", "--question-file=" + MissingFile(), "/help", "x"}));

// ---------------------------------------------------------------------------
// Debug report and the result line

TEST_F(EntryTest, DebugReportForTheDebugOptionAlone) {
  console.keys = {'x', 'y'};
  EXPECT_EQ(Run({"--debug"}), 0);
  EXPECT_EQ(Lines(console.output), (Strings{
                                       "Params and options passed to program :",
                                       "Options 1",
                                       "Option 0 debug =  =  = 0",
                                       "Params  0",
                                       "",
                                       "Menu :",
                                       "ShowMenu = FALSE",
                                       "Quiet    = FALSE",
                                       "Question = ",
                                       "Default  = 0",
                                       "Timeout  = 0",
                                       "Text     = ",
                                       "Menu result -1 ERRORLEVEL=0",
                                   }));
}

TEST_F(EntryTest, DebugReportListsOptionsParamsAndItems) {
  console.keys = {kKeyUp, kKeyF1, 'e'};  // whole keys at both pauses
  EXPECT_EQ(Run({"-DEBUG", "--question=Go?", "--timeout=5", "--TIMEOUT=7", "/quiet", "Yes", "--default=2", "yes"}), 2);
  EXPECT_EQ(Lines(console.output), (Strings{
                                       "Params and options passed to program :",
                                       "Options 6",
                                       "Option 0 DEBUG =  =  = 0",
                                       "Option 1 question = Go? = Go? = 1",
                                       "Option 2 timeout = 5 = 5 = 2",
                                       "Option 3 TIMEOUT = 7 = 5 = 2",
                                       "Option 4 quiet =  =  = 4",
                                       "Option 5 default = 2 = 2 = 5",
                                       "Params  2",
                                       "Param  0 Yes = 0",
                                       "Param  1 yes = 0",
                                       "",
                                       "Menu :",
                                       "ShowMenu = FALSE",
                                       "Quiet    = TRUE",
                                       "Question = Go?",
                                       "Default  = 1",
                                       "Timeout  = 5",
                                       "Y Yes",
                                       "e yes",
                                       "Text     = ",
                                       "Menu result 1 ERRORLEVEL=2",
                                   }));
}

TEST_F(EntryTest, DebugReportShowsQuestionLinesAndNeutralisesControlCharacters) {
  const testing::TempDirectory folder;
  const std::string path = folder.Write("question.txt", "a\nb\x1b[2J\n");
  console.keys = {'1', '2', kKeyEscape};
  EXPECT_EQ(Run({"--debug", "--menu", "--x=\x1b]0;t\x07", "--question=x\ty", "--question-file=" + path, "~Ok"}), 0);
  const Strings lines = Lines(console.output);
  const Strings report(lines.begin(), lines.begin() + 19);
  EXPECT_EQ(report, (Strings{
                        "Params and options passed to program :",
                        "Options 5",
                        "Option 0 debug =  =  = 0",
                        "Option 1 menu =  =  = 1",
                        "Option 2 x = ?]0;t? = ?]0;t? = 2",
                        "Option 3 question = x   y = x   y = 3",  // tabs to blanks
                        "Option 4 question-file = " + path + " = " + path + " = 4",
                        "Params  1",
                        "Param  0 ~Ok = 0",
                        "",
                        "Menu :",
                        "ShowMenu = TRUE",
                        "Quiet    = FALSE",
                        "Question = x    y",
                        "Default  = 0",
                        "Timeout  = 0",
                        "O Ok",
                        "Text     = a",
                        "b?[2J",
                    }));
  EXPECT_EQ(lines.at(19), "");
  // The menu clears the window as it ends: the result line starts at the top.
  EXPECT_TRUE(console.output.ends_with("Menu result 0 ERRORLEVEL=0\r\n"));
  EXPECT_EQ(console.Row(1), "Menu result 0 ERRORLEVEL=0");
}

TEST_F(EntryTest, NoResultLineWithoutDebug) {
  console.keys = {'n'};
  EXPECT_EQ(Run(kYesNoCancel), 2);
  EXPECT_EQ(console.output.find("Menu result"), std::string::npos);
}

// ---------------------------------------------------------------------------
// The key pause

TEST(PauzaTest, UsesUpOneWholeKey) {
  FakeConsole console;
  console.keys = {kKeyUp, 'n'};
  Pauza(console);
  EXPECT_EQ(console.keys, (std::deque<KeyCode>{'n'}));
  EXPECT_EQ(console.output, "");
}

TEST(PauzaTest, KeysTypedBeforeThePauseDoNotEndIt) {
  FakeConsole console;
  console.typedAhead = {'a', 'b'};
  console.keys = {'c', 'd'};
  Pauza(console);
  EXPECT_TRUE(console.typedAhead.empty());
  EXPECT_EQ(console.keys, (std::deque<KeyCode>{'d'}));
}

TEST(PauzaTest, WaitsAgainAfterTheProgramWasResumed) {
  FakeConsole console;
  console.resumes = 2;
  console.keys = {'c'};
  Pauza(console);
  EXPECT_TRUE(console.keys.empty());
  EXPECT_EQ(console.waits, 3);
}

TEST(PauzaTest, ReturnsAtOnceWithoutAKeyboard) {
  FakeConsole console;
  console.noKeyboard = true;
  Pauza(console);
  EXPECT_EQ(console.waits, 1);
}

}  // namespace
}  // namespace vexpick
