// The menu object on the real console: the choice prompt and the full-screen
// menu read back from the window, keys typed into the console input.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "console/console.h"
#include "console_probe.h"
#include "menu/menu.h"

namespace vexpick {
namespace {

using wintest::ConsoleProbe;

// Waits on a thread of its own until `shown` is in the window (the program
// waits for a key by then), calls `look`, then types `keys`.
class Typist {
 public:
  Typist(
      ConsoleProbe& probe, std::string shown, std::vector<wintest::Key> keys, std::function<void()> look = [] {})
      : thread_([&probe, shown = std::move(shown), keys = std::move(keys), look = std::move(look)] {
          if (!probe.WaitForText(shown)) return;
          look();
          for (const wintest::Key& key : keys) probe.Press(key);
        }) {}
  ~Typist() { thread_.join(); }
  Typist(const Typist&) = delete;
  Typist& operator=(const Typist&) = delete;

 private:
  std::thread thread_;
};

class MenuConsoleTest : public ::testing::Test {
 protected:
  void Open(WORD attribute = 0x07) {
    probe_.Reset(attribute);
    console_ = OpenConsole();
    menu_ = std::make_unique<TVexpickMenu>(*console_);
  }
  void TearDown() override {
    menu_.reset();
    console_.reset();
    probe_.Reset();
  }

  void AddItems(const std::vector<std::string>& items) {
    for (const std::string& item : items) ASSERT_GE(menu_->AddItem(item), 0) << item;
  }

  ConsoleProbe probe_;
  std::unique_ptr<Console> console_;
  std::unique_ptr<TVexpickMenu> menu_;
};

TEST_F(MenuConsoleTest, GetKeyReadsTheKeyTypedWhileItWaits) {
  Open();
  probe_.TypeText("early");
  console_->Write("ready");
  const Typist typist(probe_, "ready", {wintest::kUp});
  EXPECT_EQ(menu_->GetKey(), kKeyUp);
}

TEST_F(MenuConsoleTest, ChoicePromptShowsTheHotkeysAndTakesOne) {
  Open();
  menu_->FQuestion = "Continue?";
  AddItems({"~Yes", "~No", "~Cancel"});
  const Typist typist(probe_, "[YNC]", {wintest::CharacterKey('N')});
  EXPECT_EQ(menu_->Run(), 2);
  EXPECT_EQ(probe_.Row(1), "Continue?");
  EXPECT_EQ(probe_.Row(2), "[YNC]");
  EXPECT_EQ(probe_.Row(3), "");
}

TEST_F(MenuConsoleTest, MenuDrawsInItsColoursAndLeavesABlankWindow) {
  Open(0x1F);
  menu_->FShowMenu = true;
  menu_->FQuestion = "Pick";
  AddItems({"~Alpha", "B~eta"});
  menu_->SetDefaultItem(1);
  std::string screen;
  std::vector<WORD> attributes;
  bool cursorVisible = true;
  const Typist typist(probe_, "Beta", {wintest::kEnter}, [&] {
    screen = probe_.Screen();
    for (int column = 1; column <= 3; ++column) attributes.push_back(probe_.Attribute(column, 3));
    attributes.push_back(probe_.Attribute(1, 2));
    attributes.push_back(probe_.Attribute(probe_.Width(), probe_.Height()));
    cursorVisible = probe_.CursorInfo().bVisible != 0;
  });
  EXPECT_EQ(menu_->Run(), 2);
  console_->Flush();  // as at every wait and at the end
  EXPECT_EQ(screen.substr(0, screen.find("\n\n")), "Pick\nAlpha\nBeta");
  // White on blue at start: blue on white highlighted, hotkeys light grey.
  EXPECT_EQ(attributes, (std::vector<WORD>{0xF1, 0xF7, 0xF1, 0x17, 0x1F}));
  EXPECT_FALSE(cursorVisible);
  EXPECT_EQ(probe_.Screen(), probe_.BlankScreen());
  EXPECT_EQ(probe_.Attribute(1, 1), 0x1F);
  EXPECT_EQ(probe_.Attribute(probe_.Width(), probe_.Height()), 0x1F);
  EXPECT_TRUE(probe_.CursorInfo().bVisible);
  EXPECT_EQ(probe_.Cursor().X, 1);
  EXPECT_EQ(probe_.Cursor().Y, 1);
  EXPECT_NE(probe_.OutputMode() & ENABLE_WRAP_AT_EOL_OUTPUT, 0u);
}

}  // namespace
}  // namespace vexpick
