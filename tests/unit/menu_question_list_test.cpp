// The question lines: reading a stream to its end and splitting it into lines.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <stdexcept>

#include "support/line_list_lines.h"
#include "support/menu_fixture.h"
#include "support/temp_dir.h"

namespace vexpick {
namespace {

using testing::FakeConsole;

// Delivers `data`, each read at most `piece` bytes; read number `failingRead`
// (1-based) fails, or throws when `throws` is set.
class ScriptedStream : public ByteStream {
 public:
  explicit ScriptedStream(std::string data, std::size_t piece = SIZE_MAX) : data_(std::move(data)), piece_(piece) {}

  std::optional<std::size_t> Read(char* buffer, std::size_t count) override {
    asked.push_back(count);
    if (asked.size() == failingRead) {
      if (throws) throw std::runtime_error("device gone");
      return std::nullopt;
    }
    const std::size_t size = std::min({count, piece_, data_.size() - offset_});
    std::memcpy(buffer, data_.data() + offset_, size);
    offset_ += size;
    delivered.push_back(size);
    return size;
  }

  std::vector<std::size_t> asked;
  std::vector<std::size_t> delivered;
  std::size_t failingRead = 0;
  bool throws = false;

 private:
  std::string data_;
  std::size_t piece_;
  std::size_t offset_ = 0;
};

using testing::Lines;
using testing::LinesOf;

struct SplitCase {
  std::string data;
  Lines lines;
};

class QuestionListLines : public ::testing::TestWithParam<SplitCase> {};

// Split the same whether the bytes come at once or in small pieces.
TEST_P(QuestionListLines, EndAtCrLfOrCrLf) {
  for (const std::size_t piece : {SIZE_MAX, std::size_t{1}, std::size_t{2}, std::size_t{3}}) {
    FakeConsole console;
    TVexpickMenu menu(console);
    ScriptedStream stream(GetParam().data, piece);
    EXPECT_TRUE(menu.LoadQuestionListFromStream(stream));
    EXPECT_EQ(LinesOf(menu.FQuestionList), GetParam().lines) << "pieces of " << piece;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Data, QuestionListLines,
    ::testing::Values(SplitCase{"one\r\ntwo\r\n", {"one", "two"}}, SplitCase{"one\ntwo", {"one", "two"}},
                      SplitCase{"one\rtwo", {"one", "two"}}, SplitCase{"one\r\n\r\ntwo", {"one", "", "two"}},
                      SplitCase{"one\n\rtwo", {"one", "", "two"}}, SplitCase{"one\r\rtwo", {"one", "", "two"}},
                      SplitCase{"one\n\ntwo", {"one", "", "two"}}, SplitCase{"one\r\n\r\n", {"one", ""}},
                      SplitCase{"one\r\n", {"one"}}, SplitCase{"one\r", {"one"}}, SplitCase{"last", {"last"}},
                      SplitCase{"", {}}, SplitCase{"\n", {""}}, SplitCase{"\r\n\n", {"", ""}},
                      SplitCase{std::string("a\0b\nc", 5), {std::string("a\0b", 3), "c"}},
                      SplitCase{"\xEF\xBB\xBFhead\xFF\r\ntail", {"\xEF\xBB\xBFhead\xFF", "tail"}},
                      SplitCase{"  \t\x1b[31m \n", {"  \t\x1b[31m "}}));

struct ReadCase {
  std::size_t size;
  std::vector<std::size_t> asked;
  std::vector<std::size_t> delivered;
};

class QuestionListReads : public testing::MenuTest, public ::testing::WithParamInterface<ReadCase> {};

TEST_P(QuestionListReads, DoubleInSizeUntilNothingComes) {
  ScriptedStream stream(std::string(GetParam().size, 'x'));
  EXPECT_TRUE(menu.LoadQuestionListFromStream(stream));
  EXPECT_EQ(stream.asked, GetParam().asked);
  EXPECT_EQ(stream.delivered, GetParam().delivered);
  EXPECT_EQ(LinesOf(menu.FQuestionList), GetParam().size == 0 ? Lines{} : Lines{std::string(GetParam().size, 'x')});
}

constexpr std::size_t kMiB = std::size_t{1} << 20;

INSTANTIATE_TEST_SUITE_P(Sizes, QuestionListReads,
                         ::testing::Values(ReadCase{0, {1024}, {0}}, ReadCase{1024, {1024, 2048}, {1024, 0}},
                                           ReadCase{5000, {1024, 2048, 4096, 8192}, {1024, 2048, 1928, 0}},
                                           // The reads stop growing at 1 MiB.
                                           ReadCase{3 * kMiB,
                                                    {1024, 2048, 4096, 8192, 16384, 32768, 65536, 131072, 262144,
                                                     524288, kMiB, kMiB, kMiB, kMiB},
                                                    {1024, 2048, 4096, 8192, 16384, 32768, 65536, 131072, 262144,
                                                     524288, kMiB, kMiB, 1024, 0}}));

using QuestionList = testing::MenuTest;

TEST_F(QuestionList, ReadsOnAfterShortPiecesUntilTheEnd) {
  ScriptedStream stream("first\nsecond\nthird", 4);
  EXPECT_TRUE(menu.LoadQuestionListFromStream(stream));
  EXPECT_EQ(LinesOf(menu.FQuestionList), (Lines{"first", "second", "third"}));
  EXPECT_EQ(stream.delivered.back(), 0U);
}

TEST_F(QuestionList, AFailingReadLoadsNothing) {
  for (const bool throws : {false, true}) {
    menu.FQuestionList = {"old"};
    ScriptedStream stream("one\ntwo\nthree\n", 5);
    stream.failingRead = 3;
    stream.throws = throws;
    EXPECT_FALSE(menu.LoadQuestionListFromStream(stream));
    EXPECT_TRUE(menu.FQuestionList.empty());
  }
}

TEST_F(QuestionList, ALoadReplacesTheLinesBefore) {
  ScriptedStream first("a\nb\nc\n");
  ScriptedStream second("d\n");
  ASSERT_TRUE(menu.LoadQuestionListFromStream(first));
  ASSERT_TRUE(menu.LoadQuestionListFromStream(second));
  EXPECT_EQ(LinesOf(menu.FQuestionList), Lines{"d"});
}

class QuestionFile : public testing::MenuTest {
 protected:
  const testing::TempDirectory folder;
};

TEST_F(QuestionFile, LoadsTheLinesOfAFile) {
  EXPECT_TRUE(menu.LoadQuestionListFromFile(folder.Write("notes.txt", "Backup finished.\r\nWhat now?\r\n")));
  EXPECT_EQ(LinesOf(menu.FQuestionList), (Lines{"Backup finished.", "What now?"}));
}

TEST_F(QuestionFile, AnEmptyFileGivesNoLines) {
  menu.FQuestionList = {"old"};
  EXPECT_TRUE(menu.LoadQuestionListFromFile(folder.Write("empty.txt", "")));
  EXPECT_TRUE(menu.FQuestionList.empty());
}

TEST_F(QuestionFile, AFileThatCannotBeOpenedLeavesTheLines) {
  menu.FQuestionList = {"kept"};
  for (const std::string& name : {folder.PathOf("missing.txt"), std::string(), folder.Path()}) {
    EXPECT_FALSE(menu.LoadQuestionListFromFile(name)) << name;
    EXPECT_EQ(LinesOf(menu.FQuestionList), Lines{"kept"}) << name;
  }
  EXPECT_FALSE(std::filesystem::exists(folder.PathOf("missing.txt")));
}

using QuestionHandle = testing::MenuTest;

TEST_F(QuestionHandle, AnInvalidHandleReadsAsNoData) {
  menu.FQuestionList = {"old"};
  EXPECT_TRUE(menu.LoadQuestionListFromHandle(kInvalidHandle));
  EXPECT_TRUE(menu.FQuestionList.empty());
}

}  // namespace
}  // namespace vexpick
