#include "console/key_decoder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vexpick {
namespace {

constexpr KeyCode kUnknown = KeyDecoder::kUnknownKey;
constexpr KeyCode F(int number) {
  return number <= 10 ? kKeyF1 + static_cast<KeyCode>(number - 1) : number == 11 ? kKeyF11 : kKeyF12;
}

struct Arrival {
  Millis at;
  std::string bytes;
};

// Feeds each piece at its time and takes every key that is whole at `readAt`.
std::vector<KeyCode> Decode(const std::vector<Arrival>& arrivals, Millis readAt) {
  KeyDecoder decoder;
  for (const Arrival& arrival : arrivals) decoder.Feed(arrival.bytes, arrival.at);
  std::vector<KeyCode> keys;
  while (const auto key = decoder.Next(readAt)) keys.push_back(*key);
  return keys;
}

struct SequenceCase {
  const char* bytes;
  KeyCode key;
};

class KnownSequence : public ::testing::TestWithParam<SequenceCase> {};

TEST_P(KnownSequence, IsOneKeyAtOnce) {
  const SequenceCase& sequence = GetParam();
  KeyDecoder decoder;
  decoder.Feed(sequence.bytes, 0);
  EXPECT_FALSE(decoder.DecisionTime().has_value()) << "the sequence must not wait for more bytes";
  EXPECT_EQ(decoder.Next(0), sequence.key);
  EXPECT_EQ(decoder.Next(1000), std::nullopt);
}

INSTANTIATE_TEST_SUITE_P(Navigation, KnownSequence,
                         ::testing::Values(SequenceCase{"\x1b[A", kKeyUp}, SequenceCase{"\x1b[B", kKeyDown},
                                           SequenceCase{"\x1b[C", kKeyRight}, SequenceCase{"\x1b[D", kKeyLeft},
                                           SequenceCase{"\x1bOA", kKeyUp}, SequenceCase{"\x1bOB", kKeyDown},
                                           SequenceCase{"\x1bOC", kKeyRight}, SequenceCase{"\x1bOD", kKeyLeft},
                                           SequenceCase{"\x1b[H", kKeyHome}, SequenceCase{"\x1bOH", kKeyHome},
                                           SequenceCase{"\x1b[1~", kKeyHome}, SequenceCase{"\x1b[7~", kKeyHome},
                                           SequenceCase{"\x1b[F", kKeyEnd}, SequenceCase{"\x1bOF", kKeyEnd},
                                           SequenceCase{"\x1b[4~", kKeyEnd}, SequenceCase{"\x1b[8~", kKeyEnd},
                                           SequenceCase{"\x1b[5~", kKeyPageUp}, SequenceCase{"\x1b[6~", kKeyPageDown},
                                           SequenceCase{"\x1b[2~", kKeyInsert}, SequenceCase{"\x1b[3~", kKeyDelete}));

INSTANTIATE_TEST_SUITE_P(WithModifiers, KnownSequence,
                         ::testing::Values(SequenceCase{"\x1b[1;2A", kKeyUp}, SequenceCase{"\x1b[1;5B", kKeyDown},
                                           SequenceCase{"\x1b[1;3C", kKeyRight}, SequenceCase{"\x1b[1;6D", kKeyLeft},
                                           SequenceCase{"\x1b[1;2H", kKeyHome}, SequenceCase{"\x1b[1;5F", kKeyEnd},
                                           SequenceCase{"\x1b[5;5~", kKeyPageUp},
                                           SequenceCase{"\x1b[6;2~", kKeyPageDown},
                                           SequenceCase{"\x1b[3;3~", kKeyDelete}, SequenceCase{"\x1bO2A", kKeyUp},
                                           SequenceCase{"\x1b[1;2P", F(1)}, SequenceCase{"\x1b[15;5~", F(5)},
                                           SequenceCase{"\x1b[5^", kKeyPageUp}, SequenceCase{"\x1b[2$", kKeyInsert}));

INSTANTIATE_TEST_SUITE_P(
    FunctionKeys, KnownSequence,
    ::testing::Values(SequenceCase{"\x1bOP", F(1)}, SequenceCase{"\x1bOQ", F(2)}, SequenceCase{"\x1bOR", F(3)},
                      SequenceCase{"\x1bOS", F(4)}, SequenceCase{"\x1b[11~", F(1)}, SequenceCase{"\x1b[12~", F(2)},
                      SequenceCase{"\x1b[13~", F(3)}, SequenceCase{"\x1b[14~", F(4)}, SequenceCase{"\x1b[15~", F(5)},
                      SequenceCase{"\x1b[17~", F(6)}, SequenceCase{"\x1b[18~", F(7)}, SequenceCase{"\x1b[19~", F(8)},
                      SequenceCase{"\x1b[20~", F(9)}, SequenceCase{"\x1b[21~", F(10)}, SequenceCase{"\x1b[23~", F(11)},
                      SequenceCase{"\x1b[24~", F(12)}, SequenceCase{"\x1b[[A", F(1)}, SequenceCase{"\x1b[[E", F(5)}));

INSTANTIATE_TEST_SUITE_P(Characters, KnownSequence,
                         ::testing::Values(SequenceCase{"a", 'a'}, SequenceCase{"Y", 'Y'},
                                           SequenceCase{"\r", kKeyEnter}, SequenceCase{"\n", kKeyEnter},
                                           SequenceCase{"\x1bOM", kKeyEnter}, SequenceCase{"\t", '\t'},
                                           SequenceCase{"\x7f", 0x7F}, SequenceCase{"\xc3\xa9", 0xE9},
                                           SequenceCase{"\xe2\x82\xac", 0x20AC},
                                           SequenceCase{"\xf0\x9f\x98\x80", 0x1F600}, SequenceCase{"\xff", 0xDCFF}));

INSTANTIATE_TEST_SUITE_P(UnknownConsumedWhole, KnownSequence,
                         ::testing::Values(SequenceCase{"\x1b[99~", kUnknown}, SequenceCase{"\x1b[Z", kUnknown},
                                           SequenceCase{"\x1b[<0;12;7M", kUnknown},
                                           SequenceCase{"\x1b[?1;2c", kUnknown}, SequenceCase{"\x1b[200~", kUnknown},
                                           SequenceCase{"\x1bOz", kUnknown}, SequenceCase{"\x1b[[Z", kUnknown},
                                           SequenceCase{"\x1bx", kUnknown}, SequenceCase{"\x1b\r", kUnknown},
                                           SequenceCase{"\x1b\xc3\xa9", kUnknown}));

TEST(KeyDecoder, ZeroByteIsNeverTheNoKeyCode) {
  KeyDecoder decoder;
  decoder.Feed(std::string(1, '\0'), 0);
  EXPECT_EQ(decoder.Next(0), kUnknown);
}

struct TimingCase {
  const char* name;
  std::vector<Arrival> arrivals;
  Millis readAt;
  std::vector<KeyCode> keys;
};

class Timing : public ::testing::TestWithParam<TimingCase> {};

TEST_P(Timing, DecidesByArrival) { EXPECT_EQ(Decode(GetParam().arrivals, GetParam().readAt), GetParam().keys); }

INSTANTIATE_TEST_SUITE_P(
    KeyDecoder, Timing,
    ::testing::Values(
        TimingCase{"LoneEscapeWaits", {{0, "\x1b"}}, 49, {}},
        TimingCase{"LoneEscapeAfterTimeout", {{0, "\x1b"}}, 50, {kKeyEscape}},
        TimingCase{"SlowSequenceIsEscapeThenCharacters", {{0, "\x1b"}, {60, "[A"}}, 60, {kKeyEscape, '[', 'A'}},
        TimingCase{"SlowRestOfSequence", {{0, "\x1b["}, {55, "A"}}, 55, {kKeyEscape, '[', 'A'}},
        TimingCase{"SplitSequence", {{0, "\x1b"}, {10, "["}, {20, "1;5"}, {30, "A"}}, 30, {kKeyUp}},
        TimingCase{"SplitJustInTime", {{0, "\x1b["}, {49, "6~"}}, 49, {kKeyPageDown}},
        TimingCase{"UnfinishedSequenceWaits", {{0, "\x1b[1;"}}, 30, {}},
        TimingCase{"UnfinishedSequenceTimesOut", {{0, "\x1b[1;"}}, 50, {kKeyEscape, '[', '1', ';'}},
        TimingCase{"DoubleEscape", {{0, "\x1b\x1b"}}, 50, {kKeyEscape, kKeyEscape}},
        TimingCase{"EscapeBeforeSequence", {{0, "\x1b\x1b[B"}}, 0, {kKeyEscape, kKeyDown}},
        TimingCase{"SplitUtf8", {{0, "\xe2"}, {5, "\x82"}, {9, "\xac"}}, 9, {0x20AC}},
        TimingCase{"UnfinishedUtf8TimesOut", {{0, "\xe2\x82"}}, 50, {0xDCE2, 0xDC82}},
        TimingCase{"BrokenUtf8ByteStandsAlone", {{0, "\xc3("}}, 0, {0xDCC3, '('}},
        TimingCase{"SeveralKeysInOneRead", {{0, "ab\x1b[Ac\r"}}, 0, {'a', 'b', kKeyUp, 'c', kKeyEnter}},
        TimingCase{"TimeRunsFromFirstHeldByte", {{0, "x\x1b"}, {40, "["}, {60, "A"}}, 60, {'x', kKeyEscape, '[', 'A'}},
        TimingCase{"NewEscapeStartsItsOwnTime", {{0, "\x1b"}, {60, "\x1b"}, {100, "[A"}}, 100, {kKeyEscape, kKeyUp}},
        TimingCase{"ByteThatCannotContinueEndsSequence", {{0, "\x1b[1\x01"}}, 0, {kUnknown, 1}},
        TimingCase{"OverlongSequenceIsCutOff",
                   {{0, "\x1b[" + std::string(40, '1') + "~"}},
                   0,
                   std::vector<KeyCode>{kUnknown, '1', '1', '1', '1', '1', '1', '1', '1', '1', '1', '~'}}),
    [](const ::testing::TestParamInfo<TimingCase>& info) { return std::string(info.param.name); });

TEST(KeyDecoder, DecisionTimeIsFiftyMillisecondsAfterTheFirstHeldByte) {
  KeyDecoder decoder;
  EXPECT_EQ(decoder.DecisionTime(), std::nullopt);
  decoder.Feed("\x1b", 100);
  decoder.Feed("[", 120);
  EXPECT_EQ(decoder.DecisionTime(), 150);
}

TEST(KeyDecoder, EndOfInputDecidesHeldBytesAtOnce) {
  KeyDecoder decoder;
  decoder.Feed("\x1b[", 0);
  decoder.EndOfInput();
  EXPECT_EQ(decoder.DecisionTime(), std::nullopt);
  EXPECT_EQ(decoder.Next(0), kKeyEscape);
  EXPECT_EQ(decoder.Next(0), '[');
}

TEST(KeyDecoder, ClearDropsKeysAndHeldBytes) {
  KeyDecoder decoder;
  decoder.Feed("ab\x1b[", 0);
  decoder.Clear();
  EXPECT_FALSE(decoder.HasKey(1000));
  decoder.Feed("A", 1000);
  EXPECT_EQ(decoder.Next(1000), 'A');
}

}  // namespace
}  // namespace vexpick
