// Vexpick.exe as a user meets it: started in this console, keys typed into
// the console input, the window and the exit code checked.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "console_probe.h"
#include "temp_file.h"

namespace vexpick {
namespace {

using wintest::ConsoleProbe;
using wintest::TempDirectory;
using wintest::TempFile;

constexpr DWORD kPatience = 20000;  // wine starts programs slowly

std::string Directory(const std::string& path) { return path.substr(0, path.find_last_of('\\') + 1); }

std::string ProgramPath() {
  char path[MAX_PATH];
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  return Directory(path) + "Vexpick.exe";
}

SECURITY_ATTRIBUTES Inheritable() { return {sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE}; }

HANDLE OpenInheritable(const char* name, DWORD access) {
  SECURITY_ATTRIBUTES inheritable = Inheritable();
  return CreateFileA(name, access, FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable, OPEN_EXISTING, 0, nullptr);
}

// Standard handles for the program: the console unless a file is given.
struct StdHandles {
  const char* input = "CONIN$";
  const char* output = "CONOUT$";
};

// One run of Vexpick.exe sharing this console.
class VexpickRun {
 public:
  explicit VexpickRun(const std::string& arguments, const StdHandles& files = {},
                      const std::string& program = ProgramPath()) {
    input_ = OpenInheritable(files.input, GENERIC_READ | GENERIC_WRITE);
    output_ = OpenInheritable(files.output, GENERIC_READ | GENERIC_WRITE);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = input_;
    startup.hStdOutput = output_;
    startup.hStdError = output_;
    std::string commandLine = "\"" + program + "\" " + arguments;
    started_ = CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                              &process_) != 0;
  }
  ~VexpickRun() {
    if (started_) {
      if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(process_.hProcess, 99);
      CloseHandle(process_.hProcess);
      CloseHandle(process_.hThread);
    }
    CloseHandle(input_);
    CloseHandle(output_);
  }
  VexpickRun(const VexpickRun&) = delete;
  VexpickRun& operator=(const VexpickRun&) = delete;

  // The exit code, once the program has ended; nothing if it runs on.
  std::optional<DWORD> ExitCode(DWORD milliseconds = kPatience) {
    if (!started_ || WaitForSingleObject(process_.hProcess, milliseconds) != WAIT_OBJECT_0) return std::nullopt;
    DWORD code = 0;
    GetExitCodeProcess(process_.hProcess, &code);
    return code;
  }

 private:
  HANDLE input_;
  HANDLE output_;
  PROCESS_INFORMATION process_{};
  bool started_ = false;
};

// Ctrl-C goes to every program of the console; this one stays.
BOOL WINAPI KeepRunning(DWORD event) { return event == CTRL_C_EVENT ? TRUE : FALSE; }

class EndToEndTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { SetConsoleCtrlHandler(KeepRunning, TRUE); }
  static void TearDownTestSuite() { SetConsoleCtrlHandler(KeepRunning, FALSE); }
  void SetUp() override { probe_.Reset(); }
  void TearDown() override { probe_.Reset(); }

  // Waits for `text` in the window, so that the program is waiting for a key.
  void WaitFor(std::string_view text) {
    ASSERT_TRUE(probe_.WaitForText(text, kPatience)) << "no \"" << text << "\" in the window:\n" << probe_.Screen();
  }

  // Waits until the cell shows `attribute`: the menu has drawn after a key.
  void WaitForAttribute(int column, int row, WORD attribute) {
    ConsoleProbe::WaitUntil([&] { return probe_.Attribute(column, row) == attribute; }, kPatience);
    ASSERT_EQ(probe_.Attribute(column, row), attribute) << "column " << column << ", row " << row;
  }

  // The program forgets keys typed while it is busy between two waits, as a
  // user's impatient keys: press `key` until the program ends.
  std::optional<DWORD> PressUntilTheEnd(VexpickRun& run, const wintest::Key& key) {
    std::optional<DWORD> code;
    ConsoleProbe::WaitUntil(
        [&] {
          probe_.Press(key);
          code = run.ExitCode(200);
          return code.has_value();
        },
        kPatience);
    return code;
  }

  ConsoleProbe probe_;
};

TEST_F(EndToEndTest, AHotkeyPicksItsItem) {
  VexpickRun run("--question=Continue? ~Yes ~No ~Cancel");
  WaitFor("[YNC]");
  EXPECT_EQ(probe_.Row(1), "Continue?");
  EXPECT_EQ(probe_.Row(2), "[YNC]");
  probe_.TypeText("n");
  EXPECT_EQ(run.ExitCode(), 2u);
}

TEST_F(EndToEndTest, EnterPicksTheDefaultItem) {
  VexpickRun run("--default=3 Alpha Beta Gamma");
  WaitFor("[ABG]");
  probe_.TypeText("x");
  probe_.Press(wintest::kF5);
  EXPECT_EQ(PressUntilTheEnd(run, wintest::kEnter), 3u);
}

TEST_F(EndToEndTest, EscapeCancels) {
  VexpickRun run("~Yes ~No");
  WaitFor("[YN]");
  probe_.Press(wintest::kEscape);
  EXPECT_EQ(run.ExitCode(), 0u);
}

TEST_F(EndToEndTest, ARefusedItemEndsWithErrorLevelMinusOne) {
  VexpickRun run("~Yes ~yes");
  EXPECT_EQ(run.ExitCode(), 0xFFFFFFFFu);
  EXPECT_EQ(probe_.Screen(), probe_.BlankScreen());
}

TEST_F(EndToEndTest, TheTimeoutPicksTheDefaultItem) {
  VexpickRun run("--timeout=1 --default=2 One Two");
  WaitFor("[OT]");
  EXPECT_EQ(run.ExitCode(), 2u);
}

TEST_F(EndToEndTest, HelpGoesToTheWindowNotToStandardOutput) {
  const TempFile output("");
  VexpickRun run("--help", {.output = output.Path().c_str()});
  EXPECT_EQ(run.ExitCode(), 0u);
  const std::string screen = probe_.Screen();
  EXPECT_NE(screen.find("--menu                    show menu\n"), std::string::npos) << screen;
  EXPECT_NE(screen.find("            --color=16743966 will draw same result\n"), std::string::npos) << screen;
  EXPECT_EQ(output.Contents(), "");
}

TEST_F(EndToEndTest, QuestionLinesFromAFile) {
  const TempFile questions("First question\r\nSecond question\n");
  VexpickRun run("--question-file=\"" + questions.Path() + "\" ~Go ~Stop");
  WaitFor("[GS]");
  EXPECT_EQ(probe_.Row(1), "First question");
  EXPECT_EQ(probe_.Row(2), "Second question");
  probe_.TypeText("s");
  EXPECT_EQ(run.ExitCode(), 2u);
}

// The console wraps a line as wide as the window by itself: no line end is
// added, or an empty row would follow.
TEST_F(EndToEndTest, AQuestionLineAsWideAsTheWindowFillsItsRowExactly) {
  const std::string narrower(static_cast<std::size_t>(probe_.Width()) - 1, 'a');
  const std::string full(static_cast<std::size_t>(probe_.Width()), 'b');
  const TempFile questions(narrower + "\r\n" + full + "\r\nc\r\n");
  VexpickRun run("--question-file=\"" + questions.Path() + "\" ~Go");
  WaitFor("[G]");
  EXPECT_EQ(probe_.Row(1), narrower);
  EXPECT_EQ(probe_.Row(2), full);
  EXPECT_EQ(probe_.Row(3), "c");
  EXPECT_EQ(probe_.Row(4), "[G]");
  probe_.Press(wintest::kEscape);
  EXPECT_EQ(run.ExitCode(), 0u);
}

TEST_F(EndToEndTest, AMissingQuestionFileSkipsTheRun) {
  VexpickRun run("--question-file=\"" + TempDirectory() + "no such file.txt\" ~Go");
  EXPECT_EQ(run.ExitCode(), 0u);
  EXPECT_EQ(probe_.Screen(), probe_.BlankScreen());
}

TEST_F(EndToEndTest, KeysComeFromTheConsoleWhenStandardInputIsAFile) {
  const TempFile input("Read from standard input\r\n");
  VexpickRun run("~Yes ~No", {.input = input.Path().c_str()});
  WaitFor("[YN]");
  EXPECT_EQ(probe_.Row(1), "Read from standard input");
  probe_.TypeText("y");
  EXPECT_EQ(run.ExitCode(), 1u);
}

TEST_F(EndToEndTest, TheCommandLineIsSplitByTheProgramsOwnRules) {
  VexpickRun run(R"(--question=ab"c d"e "--default=2" C:\dir\ "~x)");
  WaitFor("[Cx]");
  EXPECT_EQ(probe_.Row(1), "abc de");
  probe_.Press(wintest::kEnter);
  EXPECT_EQ(run.ExitCode(), 2u);
}

TEST_F(EndToEndTest, AProgramPathWithBlanksIsNotAnItem) {
  const std::string directory = TempDirectory() + "vexpick path with blanks\\";
  CreateDirectoryA(directory.c_str(), nullptr);
  const std::string program = directory + "Vexpick.exe";
  ASSERT_TRUE(CopyFileA(ProgramPath().c_str(), program.c_str(), FALSE));
  {
    VexpickRun run("~Only", {}, program);
    WaitFor("[O]");
    probe_.TypeText("o");
    EXPECT_EQ(run.ExitCode(), 1u);
  }
  DeleteFileA(program.c_str());
  RemoveDirectoryA(directory.c_str());
}

TEST_F(EndToEndTest, TheMenuDrawsMovesAndRestoresTheWindow) {
  probe_.Reset(0x1F);
  VexpickRun run("--menu --question=Pick Alpha Beta Gamma");
  WaitFor("Gamma");
  EXPECT_EQ(probe_.Row(1), "Pick");
  EXPECT_EQ(probe_.Row(2), "Alpha");
  EXPECT_EQ(probe_.Row(4), "Gamma");
  EXPECT_FALSE(probe_.CursorInfo().bVisible);
  // White on blue at start: the menu takes its colours from it.
  EXPECT_EQ(probe_.Attribute(2, 2), 0xF1) << "highlighted item";
  EXPECT_EQ(probe_.Attribute(2, 3), 0x1F) << "other item";
  EXPECT_EQ(probe_.Attribute(1, 3), 0x17) << "hotkey";
  probe_.Press(wintest::kDown);
  WaitForAttribute(2, 3, 0xF1);
  probe_.Press(wintest::kDown);
  WaitForAttribute(2, 4, 0xF1);
  EXPECT_EQ(probe_.Attribute(2, 2), 0x1F);
  probe_.Press(wintest::kEnter);
  EXPECT_EQ(run.ExitCode(), 3u);
  EXPECT_EQ(probe_.Screen(), probe_.BlankScreen());
  EXPECT_EQ(probe_.Attribute(1, 1), 0x1F);
  EXPECT_TRUE(probe_.CursorInfo().bVisible);
  EXPECT_EQ(probe_.Cursor().X, 1);
  EXPECT_EQ(probe_.Cursor().Y, 1);
}

TEST_F(EndToEndTest, CtrlCInTheMenuLeavesTheConsoleAsItWas) {
  VexpickRun run("--menu --color=0x00FF7E1E One Two");
  WaitFor("Two");
  EXPECT_FALSE(probe_.CursorInfo().bVisible);
  GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0);
  EXPECT_TRUE(run.ExitCode().has_value());
  EXPECT_TRUE(probe_.CursorInfo().bVisible);
  EXPECT_EQ(probe_.CurrentAttribute(), 0x07);
  EXPECT_NE(probe_.OutputMode() & ENABLE_WRAP_AT_EOL_OUTPUT, 0u);
}

}  // namespace
}  // namespace vexpick
