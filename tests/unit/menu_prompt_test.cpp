// The choice prompt: what it writes, the keys that end it, and the countdown.
#include <gtest/gtest.h>

#include <cstdint>

#include "support/menu_fixture.h"

namespace vexpick {
namespace {

using Prompt = testing::MenuTest;

TEST_F(Prompt, WritesTheQuestionAndTheHotkeysAndNothingAfterTheChoice) {
  menu.FQuestion = "Continue?";
  AddItems({"~Yes", "~No", "~Cancel"});
  console.keys = {'n'};
  EXPECT_EQ(menu.Run(), 2);
  EXPECT_EQ(menu.FResult, 1);
  EXPECT_EQ(console.output, "Continue?\r\n[YNC]\r\n");
  EXPECT_EQ(console.Row(1), "Continue?");
  EXPECT_EQ(console.Row(2), "[YNC]");
}

#ifndef _WIN32  // a UTF-8 hotkey
TEST_F(Prompt, ShowsHotkeysAsStoredAndWithoutQuestionOnlyTheirLine) {
  AddItems({"Yes", "No", "Never", "~=", "~ä"});
  console.keys = {kKeyEscape};
  menu.Run();
  EXPECT_EQ(console.output, "[YNe=ä]\r\n");
}
#endif

struct KeysCase {
  std::vector<KeyCode> keys;
  std::int32_t defaultItem;
  std::int32_t result;
  std::int32_t itemChosen;  // FResult afterwards
};

class PromptKeys : public Prompt, public ::testing::WithParamInterface<KeysCase> {};

TEST_P(PromptKeys, EndTheRunByTheResultRules) {
  AddItems({"~Yes", "~No", "~Cancel", "~=equal", "~Ärger"});
  menu.SetDefaultItem(GetParam().defaultItem);
  console.keys.assign(GetParam().keys.begin(), GetParam().keys.end());
  EXPECT_EQ(menu.Run(), GetParam().result);
  EXPECT_EQ(menu.FResult, GetParam().itemChosen);
  EXPECT_TRUE(console.keys.empty());
}

INSTANTIATE_TEST_SUITE_P(Keys, PromptKeys,
                         ::testing::Values(KeysCase{{kKeyEnter}, 0, 1, 0}, KeysCase{{kKeyEnter}, 2, 3, 2},
                                           KeysCase{{kKeyEscape}, 2, 0, 0}, KeysCase{{'y'}, 2, 1, 0},
                                           KeysCase{{'Y'}, 0, 1, 0}, KeysCase{{'C'}, 0, 3, 2}, KeysCase{{'='}, 0, 4, 3},
                                           // Keys that are no hotkey are passed over.
                                           KeysCase{
                                               {'x', kKeyUp, kKeyF1, kKeyDelete, ExtendedKey(200), ' ', 'n'}, 0, 2, 1},
                                           KeysCase{{'q', kKeyEnter}, 1, 2, 1}));

#ifndef _WIN32
// Keys for the UTF-8 hotkey "Ä".
INSTANTIATE_TEST_SUITE_P(Utf8Keys, PromptKeys,
                         ::testing::Values(KeysCase{{0xE4 /* ä */}, 0, 5, 4}, KeysCase{{0xC4 /* Ä */}, 0, 5, 4}));
#endif

TEST_F(Prompt, WithoutItemsReturnsAtOnceAndTouchesNothing) {
  console.now = 5000;
  const Millis created = menu.FStartTime;
  console.now = 9000;
  EXPECT_EQ(menu.Run(), 0);
  EXPECT_EQ(menu.FResult, -1);
  EXPECT_EQ(menu.FStartTime, created);
  EXPECT_EQ(console.waits, 0);
  EXPECT_TRUE(console.output.empty());
}

TEST_F(Prompt, QuietWritesNothingButReadsKeys) {
  menu.FQuiet = true;
  menu.FQuestion = "Continue?";
  menu.FQuestionList = {"line"};
  AddItems({"~Yes", "~No"});
  console.keys = {'n'};
  EXPECT_EQ(menu.Run(), 2);
  EXPECT_TRUE(console.calls.empty());
}

TEST_F(Prompt, DiscardsKeysTypedBeforeItWaits) {
  AddItems({"~Yes", "~No", "~Cancel"});
  console.typedAhead = {'n', kKeyEnter};
  console.keys = {'c'};
  EXPECT_EQ(menu.Run(), 3);
}

TEST_F(Prompt, TimesOutStrictlyAfterTheTimeoutWithTheDefault) {
  AddItems({"~Yes", "~No", "~Cancel"});
  menu.SetDefaultItem(1);
  menu.FExpire = 2;
  console.now = 70000;
  EXPECT_EQ(menu.Run(), 2);
  EXPECT_EQ(menu.FResult, 1);
  EXPECT_EQ(console.deadlines, std::vector<Millis>{72001});
  EXPECT_EQ(console.now, 72001);
  EXPECT_EQ(menu.FStartTime, 70000);
  EXPECT_TRUE(menu.FTimeoutElapsed);
}

TEST_F(Prompt, KeyBeforeTheDeadlineWins) {
  AddItems({"~Yes", "~No"});
  menu.FExpire = 1;
  console.keyDelay = 1000;
  console.keys = {'n'};
  EXPECT_EQ(menu.Run(), 2);
  console.keyDelay = 1002;
  console.keys = {'n'};
  EXPECT_EQ(menu.Run(), 1);
}

TEST_F(Prompt, AnIgnoredKeyEndsTheCountdown) {
  AddItems({"~Yes", "~No"});
  menu.FExpire = 2;
  console.now = 0;
  console.keys = {'x', kKeyDown, 'n'};
  EXPECT_EQ(menu.Run(), 2);
  EXPECT_EQ(console.deadlines, (std::vector<Millis>{2001, kNoDeadline, kNoDeadline}));
}

TEST_F(Prompt, CountdownDeadlineHasSixtyFourBitsAndNeedsAPositiveTimeout) {
  AddItems({"~Yes", "~No"});
  console.now = 1000;
  for (const std::int32_t expire : {INT32_MAX, 0, -5, INT32_MIN}) {
    menu.FExpire = expire;
    console.deadlines.clear();
    console.keys = {kKeyEnter};
    menu.Run();
    const Millis expected = expire > 0 ? 1000 + Millis{expire} * 1000 + 1 : kNoDeadline;
    EXPECT_EQ(console.deadlines, std::vector<Millis>{expected}) << expire;
  }
}

TEST_F(Prompt, WithoutAKeyboardEndsAsAfterEscape) {
  AddItems({"~Yes", "~No"});
  console.noKeyboard = true;
  EXPECT_EQ(menu.Run(), 0);
  EXPECT_EQ(menu.FResult, 0);
}

TEST_F(Prompt, WithoutAKeyboardTheCountdownStillChooses) {
  AddItems({"~Yes", "~No"});
  menu.SetDefaultItem(1);
  menu.FExpire = 3;
  console.noKeyboard = true;
  EXPECT_EQ(menu.Run(), 2);
}

// When the terminal goes away the run ends at once, with the result that
// waiting would have given: the countdown's choice, or none.
TEST_F(Prompt, AHangUpEndsAtOnceAsWaitingWould) {
  AddItems({"~Yes", "~No"});
  menu.SetDefaultItem(1);
  console.hungUp = true;
  console.now = 0;
  EXPECT_EQ(menu.Run(), 0);

  menu.FExpire = 3;
  EXPECT_EQ(menu.Run(), 2);
  EXPECT_EQ(console.now, 0) << "it waited for the countdown";

  console.keys = {kKeyDown};  // a key ends the countdown before the hang-up
  EXPECT_EQ(menu.Run(), 0);
}

TEST_F(Prompt, AResumeIsNoKeyAndWritesNothingAgain) {
  AddItems({"~Yes", "~No"});
  menu.FExpire = 2;
  console.now = 0;
  console.resumes = 2;
  console.keys = {'n'};
  EXPECT_EQ(menu.Run(), 2);
  EXPECT_EQ(console.output, "[YN]\r\n");
  EXPECT_EQ(console.deadlines, (std::vector<Millis>{2001, 2001, 2001}));
}

// Lines are measured in columns: a line as wide as the window or wider gets
// no line end, since its last character already took the cursor to the edge.
#ifndef _WIN32  // UTF-8 wide characters
TEST_F(Prompt, QuestionLinesAsWideAsTheWindowGetNoLineEnd) {
  const std::string wide79(79, 'a');
  const std::string wide80(80, 'b');
  std::string cjk80;
  for (int i = 0; i < 40; ++i) cjk80 += "日";
  menu.FQuestionList = {wide79, wide80, "", "c", cjk80, "d", std::string(81, 'e'), "f"};
  menu.FQuestion = "Pick";
  AddItems({"~Yes"});
  console.keys = {kKeyEnter};
  menu.Run();
  EXPECT_EQ(console.output.substr(0, 81), wide79 + "\r\n");
  EXPECT_EQ(console.output.substr(81, 80), wide80);
  const std::vector<std::string> rows = {wide79, wide80, "",   "c", cjk80, "d", std::string(80, 'e'),
                                         "ef",   "Pick", "[Y]"};
  std::vector<std::string> shown = console.Rows();
  shown.resize(rows.size());
  EXPECT_EQ(shown, rows);
}
#endif

TEST_F(Prompt, ShowsControlCharactersAsQuestionMarksAndKeepsTheTextStored) {
  menu.FQuestionList = {"a\x1b]0;title\x07z", "\tx"};
  menu.FQuestion = "red\x1b[31m?";
  AddItems({"~\x01one", "~two"});
  console.keys = {0x01};
  EXPECT_EQ(menu.Run(), 1);
  EXPECT_EQ(console.Row(1), "a?]0;title?z");
  EXPECT_EQ(console.Row(2), "        x");
  EXPECT_EQ(console.Row(3), "red?[31m?");
  EXPECT_EQ(console.Row(4), "[?t]");
  EXPECT_EQ(console.output.find('\x1b'), std::string::npos);
  EXPECT_EQ(menu.GetShortcut(0), "\x01");
  EXPECT_EQ(menu.FQuestion, "red\x1b[31m?");
}

}  // namespace
}  // namespace vexpick
