#include "rparams/rparams.h"

#include <gtest/gtest.h>

#include <map>

namespace vexpick {
namespace {

using Strings = std::vector<std::string>;

// ---------------------------------------------------------------------------
// Splitting a command line

struct SplitCase {
  std::string commandLine;
  Strings arguments;
};

class SplitCommandLineTest : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitCommandLineTest, SplitsLikeTheProgramPromises) {
  EXPECT_EQ(SplitCommandLine(GetParam().commandLine), GetParam().arguments);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SplitCommandLineTest,
    ::testing::Values(SplitCase{"A   B", {"A", "B"}}, SplitCase{"ab\"c d\"e", {"abc de"}},
                      SplitCase{"--question=\"Which one?\"", {"--question=Which one?"}},
                      SplitCase{"x \"\" y", {"x", "", "y"}}, SplitCase{"a\"\"b", {"ab"}},
                      SplitCase{"\"a\"\"b c\"", {"ab c"}}, SplitCase{"C:\\dir\\ \"x", {"C:\\dir\\", "x"}},
                      SplitCase{"", {}}, SplitCase{" \t\r\n ", {}},
                      SplitCase{"\t a\x01\x1f"
                                "b \x7f",
                                {"a", "b", "\x7f"}},                         // every byte 1-32 separates
                      SplitCase{"\"", {""}},                                 // an open quote runs to the end
                      SplitCase{"\"a b", {"a b"}}, SplitCase{"\"\"", {""}},  // "" alone is an empty argument
                      SplitCase{"\"\"\"a b\"", {"a b"}},                     // a pair keeps quoting as it was
                      SplitCase{"\"x\ty\"", {"x\ty"}},                       // quoted separators belong
                      SplitCase{"a\\\"b c\"", {"a\\b c"}},                   // a backslash escapes nothing
                      SplitCase{"\xE9t\xE9 \xFF", {"\xE9t\xE9", "\xFF"}},    // bytes 128-255 are characters
                      SplitCase{"  lead trail  ", {"lead", "trail"}}));

// ---------------------------------------------------------------------------
// Classifying arguments

// What the list holds, read back through its operations.
struct Contents {
  Strings optionNames;
  Strings optionValues;
  Strings params;
  bool operator==(const Contents&) const = default;
};

Contents Read(const TRParamList& list) {
  Contents contents;
  for (std::int32_t i = 0; i < list.GetOptionsCount(); ++i) {
    contents.optionNames.push_back(list.GetOptionName(i));
    contents.optionValues.push_back(list.GetOptionValueByIndex(i));
  }
  for (std::int32_t i = 0; i < list.GetParamsCount(); ++i) contents.params.push_back(list.GetParam(i));
  return contents;
}

void PrintTo(const Contents& contents, std::ostream* out) {
  *out << ::testing::PrintToString(contents.optionNames) << " / " << ::testing::PrintToString(contents.optionValues)
       << " / " << ::testing::PrintToString(contents.params);
}

struct ClassifyCase {
  Strings arguments;
  Contents contents;
};

class ClassifyTest : public ::testing::TestWithParam<ClassifyCase> {};

TEST_P(ClassifyTest, SplitsOptionsFromPlainParameters) {
  const TRParamList list(GetParam().arguments, false);
  EXPECT_EQ(Read(list), GetParam().contents);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ClassifyTest,
    ::testing::Values(ClassifyCase{{}, {}}, ClassifyCase{{"A", "--menu", "B"}, {{"menu"}, {""}, {"A", "B"}}},
                      ClassifyCase{{"-quiet", "/quiet", "--quiet"}, {{"quiet", "quiet", "quiet"}, {"", "", ""}, {}}},
                      ClassifyCase{{"---x", "-/x"}, {{"-x", "/x"}, {"", ""}, {}}},
                      ClassifyCase{{"--", "-", "/"}, {{"=", "=", "="}, {"", "", ""}, {}}},
                      ClassifyCase{{"--a=b=c"}, {{"a"}, {"b=c"}, {}}}, ClassifyCase{{"--=x"}, {{"=x"}, {"x"}, {}}},
                      ClassifyCase{{"--menu="}, {{"menu"}, {""}, {}}},
                      ClassifyCase{{"", "x", ""}, {{}, {}, {"", "x", ""}}},
                      ClassifyCase{{"-5", "/path", "a-b", "a/b"}, {{"5", "path"}, {"", ""}, {"a-b", "a/b"}}},
                      ClassifyCase{{"--question=Which one?"}, {{"question"}, {"Which one?"}, {}}},
                      ClassifyCase{{"--question=Which", "one?"}, {{"question"}, {"Which"}, {"one?"}}},
                      ClassifyCase{{"--Mixed= spaced =", " ~Item "}, {{"Mixed"}, {" spaced ="}, {" ~Item "}}},
                      ClassifyCase{{"--", "--x", "y"}, {{"=", "x"}, {"", ""}, {"y"}}}));  // no end-of-options

TEST(ParamListTest, StoresOptionLinesWithExactlyOneAddedEquals) {
  // "menu=" and "menu" must read back alike: the stored line gets its "="
  // only when it has none.
  const TRParamList list({"--menu=", "--menu"}, false);
  EXPECT_EQ(list.GetOptionValueByIndex(0), "");
  EXPECT_EQ(list.GetOptionValueByIndex(1), "");
  EXPECT_EQ(list.GetOptionIndex("menu="), 0);  // the whole line "menu=" matches
}

// ---------------------------------------------------------------------------
// Lookups

struct LookupCase {
  Strings arguments;
  std::string S;
  std::int32_t optionIndex;
  std::string optionValue;
};

class LookupTest : public ::testing::TestWithParam<LookupCase> {};

TEST_P(LookupTest, FirstMatchWins) {
  const TRParamList list(GetParam().arguments, false);
  EXPECT_EQ(list.GetOptionIndex(GetParam().S), GetParam().optionIndex);
  EXPECT_EQ(list.GetOptionValue(GetParam().S), GetParam().optionValue);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LookupTest,
    ::testing::Values(LookupCase{{}, "menu", -1, ""}, LookupCase{{"A", "--menu", "B"}, "Menu", 0, ""},
                      LookupCase{{"A", "--menu", "B"}, "MENU", 0, ""},
                      LookupCase{{"--timeout=5", "--TIMEOUT=7"}, "timeout", 0, "5"},
                      LookupCase{{"--default", "--default=3"}, "default", 0, ""},  // the empty first one wins
                      LookupCase{{"--x", "--a=1"}, "A", 1, "1"}, LookupCase{{"--a=1"}, "b", -1, ""},
                      LookupCase{{"--a=1"}, "", -1, ""},  // an empty name never matches
                      LookupCase{{"--"}, "", -1, ""}, LookupCase{{"--"}, "=", 0, ""},
                      LookupCase{{"--=x"}, "=x", 0, "x"}, LookupCase{{"--=x"}, "=X", 0, "x"},
                      LookupCase{{"--a=1"}, "a=1", 0, "1"},  // the whole line, when no name matches
                      LookupCase{{"--a=", "--b=2", "--a==2"}, "a=", 0, ""},
                      LookupCase{{"--q=", "--q=x=y"}, "q=x=y", 1, "x=y"},  // the value search falls back
                      LookupCase{{"--a=b=c"}, "a", 0, "b=c"},
                      LookupCase{{"-menu", "menu"}, "menu", 0, ""}));  // a plain parameter is no option

#ifndef _WIN32
// Letter case beyond ASCII, in UTF-8 (Windows compares its ANSI code page).
INSTANTIATE_TEST_SUITE_P(Utf8Cases, LookupTest,
                         ::testing::Values(LookupCase{{"--\xC3\x89T\xC3\x89=1"}, "\xC3\xA9t\xC3\xA9", 0, "1"}));
#endif

TEST(ParamListTest, LooksUpPlainParametersIgnoringCase) {
  const TRParamList list({"X", "x", "", "Y"}, false);
  const std::map<std::string, std::int32_t> expected{{"x", 0}, {"X", 0}, {"", 2}, {"y", 3}, {"z", -1}};
  for (const auto& [S, index] : expected) EXPECT_EQ(list.GetParamIndex(S), index) << S;
}

TEST(ParamListTest, IndexesOutsideTheListsGiveEmptyText) {
  const TRParamList list({"--a=1", "p"}, false);
  for (const std::int32_t I : {-1, 1, INT32_MIN, INT32_MAX}) {
    EXPECT_EQ(list.GetOptionName(I), "") << I;
    EXPECT_EQ(list.GetOptionValueByIndex(I), "") << I;
    EXPECT_EQ(list.GetParam(I), "") << I;
  }
  EXPECT_EQ(list.GetParam(0), "p");
}

TEST(ParamListTest, ScanningAgainGivesTheSameContents) {
  TRParamList list({"--a=1", "p", "--b"}, false);
  const Contents before = Read(list);
  list.ScanParams();
  EXPECT_EQ(Read(list), before);
}

// ---------------------------------------------------------------------------
// Redirection scan

std::vector<int> queried;

StdHandleState InputFromFileOthersConsole(int which) {
  queried.push_back(which);
  if (which == 0) return {7, true};
  return {static_cast<SystemHandle>(which), false};
}

TEST(ParamListTest, WithoutScanTheHandlesAreInvalidAndNotRedirected) {
  queried.clear();
  const TRParamList list({}, false, InputFromFileOthersConsole);
  EXPECT_TRUE(queried.empty());
  EXPECT_FALSE(list.StdInRedirected());
  EXPECT_FALSE(list.StdOutRedirected());
  EXPECT_FALSE(list.StdErrRedirected());
  EXPECT_EQ(list.StdInHandle(), kInvalidHandle);
  EXPECT_EQ(list.StdOutHandle(), kInvalidHandle);
  EXPECT_EQ(list.StdErrHandle(), kInvalidHandle);
}

TEST(ParamListTest, ScanRecordsEachStandardHandleInOrder) {
  queried.clear();
  const TRParamList list({"x"}, true, InputFromFileOthersConsole);
  EXPECT_EQ(queried, (std::vector<int>{0, 1, 2}));
  EXPECT_TRUE(list.StdInRedirected());
  EXPECT_FALSE(list.StdOutRedirected());
  EXPECT_FALSE(list.StdErrRedirected());
  EXPECT_EQ(list.StdInHandle(), 7U);
  EXPECT_EQ(list.StdOutHandle(), 1U);
  EXPECT_EQ(list.StdErrHandle(), 2U);
}

}  // namespace
}  // namespace vexpick
