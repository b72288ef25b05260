// The POSIX console's text rules, program arguments, standard handles and
// streams.
#ifndef _WIN32
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "console/console.h"
#include "support/temp_dir.h"

namespace vexpick {
namespace {

// ---------------------------------------------------------------------------
// Text

struct CharacterCase {
  const char* text;
  std::size_t length;  // of the first character
  std::size_t width;   // of the whole text
};

class Characters : public ::testing::TestWithParam<CharacterCase> {};

TEST_P(Characters, LengthAndWidth) {
  EXPECT_EQ(CharLength(GetParam().text), GetParam().length);
  EXPECT_EQ(DisplayWidth(GetParam().text), GetParam().width);
}

INSTANTIATE_TEST_SUITE_P(PosixText, Characters,
                         ::testing::Values(CharacterCase{"", 0, 0}, CharacterCase{"abc", 1, 3},
                                           CharacterCase{"\xc3\xa9t\xc3\xa9", 2, 3},         // été
                                           CharacterCase{"\xe6\xbc\xa2\xe5\xad\x97", 3, 4},  // two CJK, 2 columns each
                                           CharacterCase{"e\xcc\x81", 1, 1},                 // e + combining acute
                                           CharacterCase{"\xf0\x9f\x98\x80", 4, 2},          // emoji
                                           CharacterCase{"\xff\xfe", 1, 2},                  // invalid bytes
                                           CharacterCase{"\xe2\x82", 1, 2}));                // cut-off sequence

struct SameTextCase {
  const char* a;
  const char* b;
  bool same;
};

class SameTexts : public ::testing::TestWithParam<SameTextCase> {};

TEST_P(SameTexts, IgnoreLetterCase) {
  EXPECT_EQ(SameText(GetParam().a, GetParam().b), GetParam().same);
  EXPECT_EQ(SameText(GetParam().b, GetParam().a), GetParam().same);
}

TEST_P(SameTexts, HaveEqualCaseKeys) { EXPECT_EQ(CaseKey(GetParam().a) == CaseKey(GetParam().b), GetParam().same); }

INSTANTIATE_TEST_SUITE_P(PosixText, SameTexts,
                         ::testing::Values(SameTextCase{"y", "Y", true}, SameTextCase{"Yes", "yES", true},
                                           SameTextCase{"\xc3\xa9", "\xc3\x89", true},  // é É
                                           SameTextCase{"\xd0\xb6", "\xd0\x96", true},  // ж Ж
                                           SameTextCase{"\xce\xa3", "\xcf\x83", true},  // Σ σ
                                           SameTextCase{"\xc3\x9f", "SS", false},       // ß is no SS
                                           SameTextCase{"a", "ab", false}, SameTextCase{"", "", true},
                                           SameTextCase{"\xff", "\xff", true}, SameTextCase{"\xff", "\xfe", false},
                                           SameTextCase{"[", "{", false}, SameTextCase{"@", "`", false},
                                           SameTextCase{"\xc3\xbf", "\xff", false},  // y-diaeresis, a stray byte
                                           SameTextCase{"\xe2\x82", "\xe2\x82", true},
                                           SameTextCase{"\xe2\x82"
                                                        "A",
                                                        "\xe2\x82"
                                                        "a",
                                                        true}));

struct ControlCase {
  const char* character;
  bool control;
};

class Controls : public ::testing::TestWithParam<ControlCase> {};

TEST_P(Controls, AreRecognised) { EXPECT_EQ(IsControlCharacter(GetParam().character), GetParam().control); }

INSTANTIATE_TEST_SUITE_P(PosixText, Controls,
                         ::testing::Values(ControlCase{"\x1b", true}, ControlCase{"\x1f", true},
                                           ControlCase{"\x7f", true}, ControlCase{"\xc2\x9b", true},  // U+009B CSI
                                           ControlCase{"\xc2\x80", true}, ControlCase{"\x9b", true},  // stray C1 byte
                                           ControlCase{"\x85", true}, ControlCase{" ", false}, ControlCase{"~", false},
                                           ControlCase{"\xc2\xa0", false}, ControlCase{"\xff", false},
                                           ControlCase{"\xe2\x82\xac", false}, ControlCase{"", false}));

TEST(PosixText, KeyText) {
  EXPECT_EQ(KeyText('a'), "a");
  EXPECT_EQ(KeyText(0x20AC), "\xe2\x82\xac");
  EXPECT_EQ(KeyText(0xDCFF), "\xff");
  EXPECT_EQ(KeyText(kKeyUp), "");
  EXPECT_EQ(KeyText(kKeyNone), "");
}

TEST(PosixProcess, ArgumentsWithoutProgramName) {
  std::string program = "vexpick", first = "--menu", second = "\xc3\xa9 x";
  std::vector<char*> argv{program.data(), first.data(), second.data(), nullptr};
  EXPECT_EQ(ProgramArguments(3, argv.data()), (std::vector<std::string>{"--menu", "\xc3\xa9 x"}));
  EXPECT_TRUE(ProgramArguments(1, argv.data()).empty());
  EXPECT_TRUE(ProgramArguments(0, nullptr).empty());
}

// ---------------------------------------------------------------------------
// Standard handles and streams

// Everything a stream delivers until it ends or fails.
std::optional<std::string> ReadAll(ByteStream& stream) {
  std::string data;
  char buffer[7];
  for (;;) {
    const std::optional<std::size_t> got = stream.Read(buffer, sizeof buffer);
    if (!got) return std::nullopt;
    if (*got == 0) return data;
    data.append(buffer, *got);
  }
}

int PipeWith(const std::string& content) {
  int ends[2];
  EXPECT_EQ(pipe(ends), 0);
  EXPECT_EQ(write(ends[1], content.data(), content.size()), static_cast<ssize_t>(content.size()));
  close(ends[1]);
  return ends[0];
}

// A descriptor number that is certainly closed.
int ClosedDescriptor() {
  const int descriptor = open("/dev/null", O_RDONLY);
  close(descriptor);
  return descriptor;
}

// Puts `descriptor` (closed when -1) in the place of standard input for the
// test's duration.
class StdinReplaced {
 public:
  explicit StdinReplaced(int descriptor) : saved_(dup(STDIN_FILENO)) {
    if (descriptor < 0) {
      close(STDIN_FILENO);
    } else {
      dup2(descriptor, STDIN_FILENO);
      close(descriptor);
    }
  }
  StdinReplaced(const StdinReplaced&) = delete;
  StdinReplaced& operator=(const StdinReplaced&) = delete;
  ~StdinReplaced() {
    dup2(saved_, STDIN_FILENO);
    close(saved_);
  }

 private:
  int saved_;
};

TEST(StdHandles, OnlyCharacterDevicesAreNotRedirected) {
  const testing::TempDirectory folder;
  int sockets[2];
  ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, sockets), 0);
  close(sockets[1]);
  const struct {
    const char* what;
    int descriptor;
    bool redirected;
  } cases[] = {
      {"/dev/null", open("/dev/null", O_RDONLY), false},
      {"a terminal", posix_openpt(O_RDWR | O_NOCTTY), false},
      {"a file", open(folder.Write("in.txt", "x").c_str(), O_RDONLY), true},
      {"a pipe", PipeWith(""), true},
      {"a socket", sockets[0], true},
      {"a directory", open(folder.Path().c_str(), O_RDONLY), true},
      {"closed", -1, true},
  };
  for (const auto& entry : cases) {
    const StdinReplaced replaced(entry.descriptor);
    const StdHandleState state = QueryStdHandle(0);
    EXPECT_EQ(state.handle, 0U) << entry.what;
    EXPECT_EQ(state.redirected, entry.redirected) << entry.what;
  }
}

TEST(StdHandlesOutOfRange, AreInvalid) {
  for (const int which : {-1, 3}) {
    EXPECT_EQ(QueryStdHandle(which).handle, kInvalidHandle);
    EXPECT_FALSE(QueryStdHandle(which).redirected);
  }
}

TEST(HandleStream, ReadsToTheEndAndLeavesTheHandleOpen) {
  const int descriptor = PipeWith("one\ntwo\r\nthree");
  {
    const auto stream = OpenHandleStream(static_cast<SystemHandle>(descriptor));
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(ReadAll(*stream), "one\ntwo\r\nthree");
  }
  EXPECT_NE(fcntl(descriptor, F_GETFD), -1) << "the stream must not close a handle it does not own";
  close(descriptor);
}

TEST(HandleStream, NoSuchHandleReadsAsNoData) {
  for (const SystemHandle handle : {static_cast<SystemHandle>(ClosedDescriptor()), kInvalidHandle}) {
    const auto stream = OpenHandleStream(handle);
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(ReadAll(*stream), "");
  }
}

TEST(HandleStream, ReadErrorFails) {
  const int directory = open("/tmp", O_RDONLY | O_DIRECTORY);
  const auto stream = OpenHandleStream(static_cast<SystemHandle>(directory));
  EXPECT_EQ(ReadAll(*stream), std::nullopt);
  close(directory);
}

class FileStream : public ::testing::Test {
 protected:
  std::string Fifo(std::string_view name) {
    const std::string path = folder.PathOf(name);
    EXPECT_EQ(mkfifo(path.c_str(), 0600), 0);
    return path;
  }

  const testing::TempDirectory folder;
};

TEST_F(FileStream, ReadsAWholeFile) {
  const std::string content(5000, 'x');
  const auto stream = OpenFileStream(folder.Write("big.txt", content + std::string(1, '\0') + "end"));
  ASSERT_NE(stream, nullptr);
  EXPECT_EQ(ReadAll(*stream), content + std::string(1, '\0') + "end");
}

TEST_F(FileStream, OpensAFileThatIsOpenForWriting) {
  const std::string path = folder.Write("log.txt", "first\n");
  const int writer = open(path.c_str(), O_WRONLY | O_APPEND);
  ASSERT_EQ(write(writer, "second\n", 7), 7);
  const auto stream = OpenFileStream(path);
  ASSERT_NE(stream, nullptr);
  EXPECT_EQ(ReadAll(*stream), "first\nsecond\n");
  close(writer);
}

TEST_F(FileStream, CannotOpen) {
  const std::string existing = folder.Write("here.txt", "x");
  EXPECT_EQ(OpenFileStream(""), nullptr);
  EXPECT_EQ(OpenFileStream(folder.PathOf("missing.txt")), nullptr);
  EXPECT_EQ(OpenFileStream(folder.Path()), nullptr);
  EXPECT_EQ(OpenFileStream(existing + std::string(1, '\0') + "more"), nullptr);
  struct stat status {};
  EXPECT_NE(stat(folder.PathOf("missing.txt").c_str(), &status), 0) << "a missing file must never be created";
}

TEST_F(FileStream, NoAccess) {
  if (geteuid() == 0) GTEST_SKIP() << "root reads every file";
  const std::string path = folder.Write("secret.txt", "x");
  chmod(path.c_str(), 0);
  EXPECT_EQ(OpenFileStream(path), nullptr);
}

TEST_F(FileStream, FifoWithoutWriterDoesNotHang) {
  const auto stream = OpenFileStream(Fifo("fifo"));
  ASSERT_NE(stream, nullptr);
  EXPECT_EQ(ReadAll(*stream), "");
}

}  // namespace
}  // namespace vexpick
#endif
