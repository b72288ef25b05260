// Question lines from a redirected standard input and from a file, and the
// keyboard handed back to the terminal afterwards.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "gtest/gtest.h"
#include "pty_session.h"
#include "screen_checks.h"

namespace e2e {
namespace {

const std::vector<std::string> kItems = {"~Reboot", "~Shutdown", "~Nothing"};

SessionOptions FromFile(const std::string& path, std::vector<std::string> args = kItems) {
  return SessionOptions{.args = std::move(args), .stdinFrom = Stdin::kFile, .stdinFile = path};
}

TEST(QuestionList, StandardInputFromAFileAboveThePromptKeysFromTheTerminal) {
  TempDir dir;
  PtySession vexpick(FromFile(dir.Write("notes", "Backup finished.\nWhat now?\n")));
  ASSERT_TRUE(vexpick.WaitForRows({"Backup finished.", "What now?", "[RSN]", ""}));
  vexpick.Press("s");
  EXPECT_EQ(vexpick.WaitForExit(), Exited(2));
}

TEST(QuestionList, StandardInputFromAPipeWrittenInPieces) {
  PtySession vexpick(SessionOptions{.args = kItems, .stdinFrom = Stdin::kPipe});
  vexpick.WriteStdin("Backup ");
  EXPECT_TRUE(vexpick.RunsFor(200ms));
  vexpick.WriteStdin("finished.\nWhat");
  EXPECT_TRUE(vexpick.RunsFor(200ms));
  EXPECT_TRUE(vexpick.ScreenBlank()) << "shown before standard input ended\n" << vexpick.Dump();
  vexpick.WriteStdin(" now?\n");
  vexpick.CloseStdin();
  ASSERT_TRUE(vexpick.WaitForRows({"Backup finished.", "What now?", "[RSN]"}));
  vexpick.Press("n");
  EXPECT_EQ(vexpick.WaitForExit(), Exited(3));
}

TEST(QuestionList, LineEndsOfEveryKind) {
  TempDir dir;
  PtySession vexpick(FromFile(dir.Write("notes", "one\r\ntwo\rthree\n\nfive\n\rseven")));
  EXPECT_TRUE(vexpick.WaitForRows({"one", "two", "three", "", "five", "", "seven", "[RSN]"}));
}

TEST(QuestionList, ALineAsWideAsTheWindowGetsNoLineEnd) {
  TempDir dir;
  const std::string wide(80, 'w');
  PtySession vexpick(FromFile(dir.Write("notes", wide + "\nnext\n")));
  EXPECT_TRUE(vexpick.WaitForRows({wide, "next", "[RSN]", ""}));
}

TEST(QuestionList, ALineWiderThanTheWindowWrapsAndTheNextContinuesWhereItEnded) {
  TempDir dir;
  const std::string wider(100, 'w');
  PtySession vexpick(FromFile(dir.Write("notes", wider + "\nnext\n")));
  EXPECT_TRUE(vexpick.WaitForRows({std::string(80, 'w'), std::string(20, 'w') + "next", "[RSN]", ""}));
}

TEST(QuestionList, StandardInputFromAnEmptyFileStillRunsTheMenu) {
  TempDir dir;
  PtySession vexpick(FromFile(dir.Write("empty", ""), {"--menu", "~Ok", "~Cancel"}));
  ASSERT_TRUE(vexpick.WaitForRows({"Ok", "Cancel", ""}));
  vexpick.Press("c");
  EXPECT_EQ(vexpick.WaitForExit(), Exited(2));
}

TEST(QuestionList, StandardInputFromAFileAboveTheMenuKeysFromTheTerminal) {
  TempDir dir;
  PtySession vexpick(FromFile(dir.Write("notes", "Backup finished.\nWhat now?\n"), {"--menu", "~Ok", "~Cancel"}));
  ASSERT_TRUE(vexpick.WaitForRows({"Backup finished.", "What now?", "Ok", "Cancel", ""}));
  vexpick.Press(keys::kDown);
  ASSERT_TRUE(vexpick.WaitFor([&] { return ColoursAt(vexpick, 4, 2) == kStartupMenuColours.highlight; },
                              "the highlight on Cancel"));
  vexpick.Press(keys::kEnter);
  EXPECT_EQ(vexpick.WaitForExit(), Exited(2));
}

TEST(QuestionList, AClosedStandardInputIsAnEmptyList) {
  PtySession vexpick(SessionOptions{.args = kItems, .stdinFrom = Stdin::kClosed});
  ASSERT_TRUE(vexpick.WaitForRows({"[RSN]", ""}));
  vexpick.Press("r");
  EXPECT_EQ(vexpick.WaitForExit(), Exited(1));
}

TEST(QuestionList, NullDeviceIsNotRedirected) {
  PtySession vexpick(SessionOptions{.args = kItems, .stdinFrom = Stdin::kDevNull});
  EXPECT_EQ(vexpick.WaitForExit(), Exited(0));
  EXPECT_EQ(vexpick.Row(1), "[RSN]");
}

TEST(QuestionList, TheQuestionFileAboveTheMenu) {
  TempDir dir;
  const std::string notes = dir.Write("notes.txt", "From the file\nSecond line\n");
  PtySession vexpick({"--question-file=" + notes, "--menu", "~Ok"});
  ASSERT_TRUE(vexpick.WaitForRows({"From the file", "Second line", "Ok", ""}));
  vexpick.Press(keys::kEnter);
  EXPECT_EQ(vexpick.WaitForExit(), Exited(1));
}

TEST(QuestionList, TheQuestionFileHeldOpenForWritingElsewhere) {
  TempDir dir;
  const std::string notes = dir.Write("notes.txt", "Still being written\n");
  const int writer = open(notes.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
  ASSERT_GE(writer, 0);
  PtySession vexpick({"--question-file=" + notes, "~Ok"});
  EXPECT_TRUE(vexpick.WaitForRows({"Still being written", "[O]"}));
  vexpick.Press("o");
  EXPECT_EQ(vexpick.WaitForExit(), Exited(1));
  close(writer);
}

TEST(QuestionList, TheQuestionFileReplacesStandardInput) {
  TempDir dir;
  const std::string notes = dir.Write("notes.txt", "from the file\n");
  PtySession vexpick(FromFile(dir.Write("stdin", "from standard input\n"), {"--question-file=" + notes, "~Ok"}));
  ASSERT_TRUE(vexpick.WaitForRows({"from the file", "[O]", ""}));
  vexpick.Press("o");
  EXPECT_EQ(vexpick.WaitForExit(), Exited(1));
}

// A question list that cannot be loaded skips the run: exit code 0 and
// nothing shown, whatever the items.
struct FailedLoad {
  std::string name;
  std::string questionFile;  // relative to a fresh directory; "." is the directory
  bool stdinFromFile;
};

void PrintTo(const FailedLoad& failed, std::ostream* out) { *out << failed.name; }

class QuestionListFailure : public testing::TestWithParam<FailedLoad> {};

TEST_P(QuestionListFailure, SkipsTheRunShowingNothing) {
  TempDir dir;
  SessionOptions options{.args = {"--question-file=" + dir.PathOf(GetParam().questionFile), "~Yes", "~No"}};
  if (GetParam().questionFile.empty()) options.args.front() = "--question-file=";
  if (GetParam().stdinFromFile) options = FromFile(dir.Write("stdin", "from standard input\n"), options.args);
  PtySession vexpick(options);
  EXPECT_EQ(vexpick.WaitForExit(), Exited(0));
  EXPECT_TRUE(vexpick.ScreenBlank()) << vexpick.Dump();
}

INSTANTIATE_TEST_SUITE_P(QuestionList, QuestionListFailure,
                         testing::Values(FailedLoad{"MissingFile", "missing.txt", false},
                                         FailedLoad{"Directory", ".", false}, FailedLoad{"EmptyName", "", false},
                                         FailedLoad{"MissingFileAfterStandardInput", "missing.txt", true}),
                         [](const testing::TestParamInfo<FailedLoad>& info) { return info.param.name; });

TEST(QuestionList, AnUnreadableStandardInputFailsAndTheFileIsNotOpened) {
  TempDir dir;
  // Opening a FIFO for reading waits for a writer: the run would hang if the
  // question file were opened after standard input failed.
  const std::string fifo = dir.PathOf("fifo");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  PtySession vexpick(FromFile(dir.path(), {"--question-file=" + fifo, "~Yes", "~No"}));
  EXPECT_EQ(vexpick.WaitForExit(), Exited(0));
  EXPECT_TRUE(vexpick.ScreenBlank()) << vexpick.Dump();
}

TEST(QuestionList, KeysTypedWhileStandardInputIsReadAreDiscarded) {
  PtySession vexpick(SessionOptions{.args = kItems, .stdinFrom = Stdin::kPipe});
  vexpick.WriteStdin("Reading...\n");
  ASSERT_TRUE(vexpick.WaitUntilWaiting());
  vexpick.Type("s");
  vexpick.CloseStdin();
  // The terminal may still echo what is typed before the program takes it.
  ASSERT_TRUE(vexpick.WaitForRow(2, "[RSN]"));
  EXPECT_TRUE(vexpick.RunsFor()) << "a key typed before the prompt was taken";
  vexpick.Press("n");
  EXPECT_EQ(vexpick.WaitForExit(), Exited(3));
}

}  // namespace
}  // namespace e2e
