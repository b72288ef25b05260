// The menu object: items with hotkeys, the default item, the countdown, the
// choice prompt, the full-screen menu, its colours and the question lines.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "console/console.h"

namespace vexpick {

// One item: its hotkey character and the text shown. Kept apart, so that
// any character, "=" included, can be a hotkey.
struct TMenuItem {
  std::string Hotkey;
  std::string Text;
};

class TVexpickMenu {
 public:
  explicit TVexpickMenu(Console& console);

  [[nodiscard]] std::string GetShortcut(std::int32_t index) const;
  [[nodiscard]] std::string GetItemFromIndex(std::int32_t index) const;
  void SetDefaultItem(std::int32_t index);
  KeyCode GetKey();
  void DoShowMenu();
  void Clear_Screen();
  void Restore_Screen();
  static std::uint8_t MakeColor(std::uint8_t text, std::uint8_t back);
  std::int32_t AddItem(std::string_view text);
  void LoadColor(std::uint32_t colorWord);
  std::int32_t Run();
  bool LoadQuestionListFromHandle(SystemHandle handle);
  bool LoadQuestionListFromStream(ByteStream& stream);
  bool LoadQuestionListFromFile(const std::string& name);

  // The index of the item whose hotkey is `hotkey`, letter case ignored; -1.
  [[nodiscard]] std::int32_t FindHotkey(std::string_view hotkey) const;
  [[nodiscard]] std::int32_t ItemCount() const { return static_cast<std::int32_t>(FItemList.size()); }

  // Written by the entry before Run; read by the debug report.
  bool FShowMenu = false;
  bool FQuiet = false;
  std::string FQuestion;
  std::int32_t FExpire = 0;

  std::vector<TMenuItem> FItemList;
  std::vector<std::int32_t> FShortcutList;  // 1-based hotkey position, in characters
  std::vector<std::string> FQuestionList;
  std::int32_t FDefault = 0;
  std::int32_t FResult = -1;
  Millis FStartTime = 0;
  Millis FCurrTime = 0;
  bool FTimeoutElapsed = false;
  std::uint8_t FNormalText = 0;
  std::uint8_t FHighlightText = 0;
  std::uint8_t FNormalBack = 0;
  std::uint8_t FHighlightBack = 0;
  std::uint8_t FNormalChar = 0;
  std::uint8_t FHighlightChar = 0;
  std::uint8_t FOldColor = 0;
  bool FFirstMenu = true;

 private:
  Console& FConsole;
};

}  // namespace vexpick
