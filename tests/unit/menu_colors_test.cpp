// The menu's colours: defaults from the console's attribute, and the colour word.
#include <gtest/gtest.h>

#include <array>
#include <optional>

#include "support/menu_fixture.h"

namespace vexpick {
namespace {

using testing::FakeConsole;

// The six colours in the order normal text, normal back, normal hotkey,
// highlight text, highlight back, highlight hotkey.
using Colors = std::array<int, 6>;

Colors ColorsOf(const TVexpickMenu& menu) {
  return {menu.FNormalText,    menu.FNormalBack,    menu.FNormalChar,
          menu.FHighlightText, menu.FHighlightBack, menu.FHighlightChar};
}

struct DefaultCase {
  std::uint8_t attribute;
  Colors colors;
};

class ColorDefaults : public ::testing::TestWithParam<DefaultCase> {};

TEST_P(ColorDefaults, SwapTheConsoleColoursForTheHighlight) {
  FakeConsole console(80, 25, GetParam().attribute);
  const TVexpickMenu menu(console);
  EXPECT_EQ(ColorsOf(menu), GetParam().colors);
  EXPECT_EQ(menu.FOldColor, GetParam().attribute);
}

INSTANTIATE_TEST_SUITE_P(StartAttributes, ColorDefaults,
                         ::testing::Values(DefaultCase{0x07, {7, 0, 15, 0, 7, 15}},
                                           DefaultCase{0x1F, {15, 1, 7, 1, 15, 7}},
                                           DefaultCase{0xF0, {0, 15, 8, 15, 0, 8}},
                                           DefaultCase{0x0E, {14, 0, 6, 0, 14, 6}}));

TEST(MakeColor, PutsTheBackgroundInTheHighBitsAndKeepsFourBitsOfEach) {
  EXPECT_EQ(TVexpickMenu::MakeColor(14, 1), 0x1E);
  EXPECT_EQ(TVexpickMenu::MakeColor(31, 17), 0x1F);
  EXPECT_EQ(TVexpickMenu::MakeColor(0, 15), 0xF0);
  EXPECT_EQ(TVexpickMenu::MakeColor(255, 255), 0xFF);
}

struct ColorWordCase {
  std::uint32_t word;
  std::optional<Colors> colors;  // none: refused, the defaults stay
};

class LoadColor : public testing::MenuTest, public ::testing::WithParamInterface<ColorWordCase> {};

TEST_P(LoadColor, SetsAllSixOrNone) {
  menu.LoadColor(GetParam().word);
  EXPECT_EQ(ColorsOf(menu), GetParam().colors.value_or(Colors{7, 0, 15, 0, 7, 15}));
  EXPECT_EQ(menu.FOldColor, 0x07);
}

constexpr std::uint32_t kSample = 0x00FF7E1E;

INSTANTIATE_TEST_SUITE_P(Words, LoadColor,
                         ::testing::Values(ColorWordCase{kSample, Colors{14, 1, 15, 14, 7, 15}},
                                           ColorWordCase{16743966, Colors{14, 1, 15, 14, 7, 15}},
                                           ColorWordCase{0xA5FF7E1E, Colors{14, 1, 15, 14, 7, 15}},
                                           ColorWordCase{0x00007E1E, Colors{14, 1, 0, 14, 7, 0}},
                                           // A hotkey colour may equal its row's text colour.
                                           ColorWordCase{0x00E47E1E, Colors{14, 1, 4, 14, 7, 14}},
                                           ColorWordCase{0x00FF7E11, std::nullopt},  // normal text on itself
                                           ColorWordCase{0x00FF771E, std::nullopt},  // highlight text on itself
                                           ColorWordCase{0x00F17E1E, std::nullopt},  // normal hotkey on the normal back
                                           ColorWordCase{0x007F7E1E,
                                                         std::nullopt},  // highlight hotkey on the highlight back
                                           ColorWordCase{0, std::nullopt}, ColorWordCase{0xFFFFFFFF, std::nullopt},
                                           ColorWordCase{0xFFFFFFF0, std::nullopt}));  // -16: highlight 15 on 15

}  // namespace
}  // namespace vexpick
