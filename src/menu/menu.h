// The menu object: items with hotkeys, the default item, the countdown, the
// choice prompt, the full-screen menu, its colours and the question lines.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "console/console.h"
#include "menu/line_list.h"

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
  TVexpickMenu(const TVexpickMenu&) = delete;
  TVexpickMenu& operator=(const TVexpickMenu&) = delete;

  // The hotkey of an item; empty outside the items.
  [[nodiscard]] std::string GetShortcut(std::int32_t index) const;
  // The text shown for an item; empty outside the items.
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
  TLineList FQuestionList;
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
  // The item on the first item row of the menu; it moves only when there are
  // more items than rows, so that the highlighted item stays in view.
  std::int32_t FTopItem = 0;

 private:
  // Characters of one attribute, written in one go.
  struct TTextRun {
    std::uint8_t Attribute = 0;
    std::string Text;
    bool operator==(const TTextRun&) const = default;
  };
  // What one row of the window shows from column 1; the rest of the row is
  // blank in the normal attribute.
  struct TRowImage {
    std::vector<TTextRun> Runs;
    std::size_t Width = 0;  // columns taken by the runs
    bool operator==(const TRowImage&) const = default;
  };
  // An item row as it is on the window: which item, in which state, how.
  struct TShownRow {
    std::int32_t Item = -1;  // -1: blank
    bool Highlighted = false;
    TRowImage Image;
  };
  class TRowBuilder;
  struct TMenuLayout {
    int QuestionLines = 0;      // question lines shown, from row 1
    bool QuestionText = false;  // the question text on the row after them
    int FirstItemRow = 1;
    int ItemRows = 0;  // rows for items, from FirstItemRow
  };

  void SetDefaultColors(std::uint8_t attribute);
  [[nodiscard]] std::uint8_t NormalAttribute() const { return MakeColor(FNormalText, FNormalBack); }
  [[nodiscard]] Millis CountdownDeadline() const;
  std::optional<std::int32_t> ResultOf(KeyCode key);
  std::int32_t Choose(std::int32_t item);
  std::int32_t RunPrompt();
  void WritePrompt();
  void WriteQuestionLines();

  std::int32_t RunMenu();
  bool MoveHighlight(KeyCode key);
  void TakeScreen();
  void RedrawMenu();
  void DrawMenu(bool withQuestionArea);
  [[nodiscard]] TMenuLayout MenuLayout() const;
  void DrawQuestionArea(const TMenuLayout& layout);
  void KeepHighlightShown(const TMenuLayout& layout);
  void UpdateItemRows(const TMenuLayout& layout);
  void ScrollItemRowsIfCheaper(const TMenuLayout& layout);
  [[nodiscard]] std::size_t RedrawCost(const std::vector<TShownRow>& shown) const;
  [[nodiscard]] bool ShowsWanted(const TShownRow& shown, std::int32_t row) const;
  [[nodiscard]] std::size_t WindowColumns() const;
  [[nodiscard]] TRowImage TextRowImage(std::string_view text) const;
  [[nodiscard]] TRowImage ItemRowImage(std::int32_t item) const;
  void DrawRow(int row, const TRowImage& image, std::size_t widthBefore);

  Console& FConsole;
  // The item of each hotkey, by its CaseKey: AddItem looks up every
  // character of an item, and a command line may hold thousands of items.
  std::unordered_map<std::string, std::int32_t> FHotkeyIndex;
  bool FMenuOnScreen = false;
  std::vector<TShownRow> FShownRows;  // the item rows as drawn; empty: all blank
  std::int32_t FShownTop = 0;         // the item on the first item row as drawn
};

}  // namespace vexpick
