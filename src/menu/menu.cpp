// The menu object: items and their hotkeys, key input with the countdown,
// the choice prompt, the rules that end a run, and the colours.
#include "menu/menu.h"

#include "safe_text.h"

namespace vexpick {
namespace {

std::string_view FirstCharacter(std::string_view text) { return text.substr(0, CharLength(text)); }

// An item text with its tilde marks resolved.
struct TResolvedItem {
  std::string Text;
  std::string Hotkey;         // the marked hotkey, if any
  std::int32_t Position = 0;  // its 1-based place in Text; 0: none marked
};

// The character at a 1-based place in `text`; empty past its end.
std::string_view CharacterAt(std::string_view text, std::int32_t position) {
  return FirstCharacter(text.substr(ByteLengthOf(text, static_cast<std::size_t>(position - 1))));
}

// A tilde before another character is dropped and marks that character,
// unless a tilde precedes it or a hotkey is marked already; "~~" shows one
// tilde, and a tilde at the end is shown.
TResolvedItem ResolveTildes(std::string_view text) {
  TResolvedItem item;
  std::int32_t characters = 0;
  bool afterTilde = false;
  while (!text.empty()) {
    const std::string_view character = FirstCharacter(text);
    text.remove_prefix(character.size());
    const std::string_view next = FirstCharacter(text);
    const bool tilde = character == "~";
    if (tilde && !next.empty() && next != "~") {
      if (item.Position == 0 && !afterTilde) {
        item.Hotkey = next;
        item.Position = characters + 1;
      }
    } else {
      item.Text += character;
      ++characters;
    }
    afterTilde = tilde;
  }
  // Dropping a tilde can join two stray bytes into one character: the mark
  // then names no character of the text shown, and the text counts as
  // unmarked.
  if (item.Position > 0 && CharacterAt(item.Text, item.Position) != item.Hotkey) {
    item.Hotkey.clear();
    item.Position = 0;
  }
  return item;
}

}  // namespace

TVexpickMenu::TVexpickMenu(Console& console) : FConsole(console) {
  FStartTime = FConsole.Now();
  FCurrTime = FStartTime;
  SetDefaultColors(FConsole.StartAttribute());
}

// ---------------------------------------------------------------------------
// Items

std::int32_t TVexpickMenu::FindHotkey(std::string_view hotkey) const {
  if (hotkey.empty()) return -1;
  const auto found = FHotkeyIndex.find(CaseKey(hotkey));
  return found == FHotkeyIndex.end() ? -1 : found->second;
}

std::int32_t TVexpickMenu::AddItem(std::string_view text) {
  if (text.empty()) return -1;
  TResolvedItem item = ResolveTildes(text);
  if (item.Position > 0) {
    if (FindHotkey(item.Hotkey) >= 0) return -1;
  } else {
    // The first character of the text that no other item uses.
    std::string_view rest = item.Text;
    for (std::int32_t position = 1; !rest.empty(); ++position) {
      const std::string_view character = FirstCharacter(rest);
      if (FindHotkey(character) < 0) {
        item.Hotkey = character;
        item.Position = position;
        break;
      }
      rest.remove_prefix(character.size());
    }
    if (item.Position == 0) return -1;
  }
  const std::int32_t index = ItemCount();
  FHotkeyIndex.emplace(CaseKey(item.Hotkey), index);
  FItemList.push_back(TMenuItem{std::move(item.Hotkey), std::move(item.Text)});
  FShortcutList.push_back(item.Position);
  return index;
}

std::string TVexpickMenu::GetShortcut(std::int32_t index) const {
  if (index < 0 || index >= ItemCount()) return {};
  return FItemList[static_cast<std::size_t>(index)].Hotkey;
}

std::string TVexpickMenu::GetItemFromIndex(std::int32_t index) const {
  if (index < 0 || index >= ItemCount()) return {};
  return FItemList[static_cast<std::size_t>(index)].Text;
}

void TVexpickMenu::SetDefaultItem(std::int32_t index) {
  if (index >= 0 && index < ItemCount()) FDefault = index;
}

// ---------------------------------------------------------------------------
// Keys and the countdown

Millis TVexpickMenu::CountdownDeadline() const {
  if (FExpire <= 0 || FTimeoutElapsed) return kNoDeadline;
  // Strictly more than FExpire seconds after the run started.
  return FStartTime + Millis{FExpire} * 1000 + 1;
}

KeyCode TVexpickMenu::GetKey() {
  FConsole.DiscardKeys();
  for (;;) {
    const KeyWait wait = FConsole.WaitForKey(CountdownDeadline());
    FCurrTime = FConsole.Now();
    switch (wait) {
      case KeyWait::Key:
        // Any key ends the countdown, also one that the run then ignores.
        FTimeoutElapsed = true;
        return FConsole.ReadKey();
      case KeyWait::Deadline:
        FTimeoutElapsed = true;
        return kKeyNone;
      case KeyWait::NoKeyboard:
        // Nobody can ever answer: end as if the user had cancelled.
        return kKeyEscape;
      case KeyWait::HungUp:
        // Nobody can answer any more: end now with what waiting would have given.
        if (CountdownDeadline() == kNoDeadline) return kKeyEscape;
        FTimeoutElapsed = true;
        return kKeyNone;
      case KeyWait::Resumed:
        // Whatever ran while the program was stopped may have drawn over the menu.
        if (FMenuOnScreen) RedrawMenu();
        break;
    }
  }
}

// ---------------------------------------------------------------------------
// Running

std::int32_t TVexpickMenu::Run() {
  if (FItemList.empty()) return 0;
  FStartTime = FConsole.Now();
  FCurrTime = FStartTime;
  FTimeoutElapsed = false;
  return FShowMenu ? RunMenu() : RunPrompt();
}

std::int32_t TVexpickMenu::Choose(std::int32_t item) {
  FResult = item;
  return item + 1;
}

// The result of the run when `key` ends it; nothing when the run goes on.
std::optional<std::int32_t> TVexpickMenu::ResultOf(KeyCode key) {
  switch (key) {
    case kKeyNone:
    case kKeyEnter:
      return Choose(FDefault);
    case kKeyEscape:
      FResult = 0;
      return 0;
    default:
      break;
  }
  if (IsExtendedKey(key)) return std::nullopt;
  const std::int32_t item = FindHotkey(KeyText(key));
  if (item < 0) return std::nullopt;
  return Choose(item);
}

std::int32_t TVexpickMenu::RunPrompt() {
  if (!FQuiet) WritePrompt();
  for (;;) {
    if (const std::optional<std::int32_t> result = ResultOf(GetKey())) return *result;
  }
}

void TVexpickMenu::WritePrompt() {
  WriteQuestionLines();
  if (!FQuestion.empty()) FConsole.WriteLine(SafeText(FQuestion));
  std::string hotkeys = "[";
  for (const TMenuItem& item : FItemList) hotkeys += item.Hotkey;
  hotkeys += ']';
  FConsole.WriteLine(SafeText(hotkeys));
}

// A line as wide as the window or wider is left without a line end: its last
// character took the cursor to the edge, and the next text starts the next
// row by itself.
void TVexpickMenu::WriteQuestionLines() {
  const std::size_t columns = WindowColumns();
  bool atRowEnd = false;
  for (const std::string_view line : FQuestionList) {
    // A console that holds the cursor at the edge of a full row would take
    // a bare line end as the end of that row and lose an empty line.
    const std::string shown = line.empty() && atRowEnd ? std::string(1, ' ') : SafeText(line);
    const std::size_t width = DisplayWidth(shown);
    if (width < columns) {
      FConsole.WriteLine(shown);
    } else {
      FConsole.Write(shown);
    }
    atRowEnd = width >= columns && columns > 0 && width % columns == 0;
  }
}

// ---------------------------------------------------------------------------
// Colours

std::uint8_t TVexpickMenu::MakeColor(std::uint8_t text, std::uint8_t back) {
  return static_cast<std::uint8_t>(((back & 15) << 4) | (text & 15));
}

// The highlight swaps the console's colours; the hotkey is the bright form of
// the text colour, or its dark form when the text is bright already.
void TVexpickMenu::SetDefaultColors(std::uint8_t attribute) {
  FOldColor = attribute;
  FNormalText = attribute & 15;
  FNormalBack = attribute >> 4;
  FNormalChar = FNormalText | 8;
  if (FNormalChar == FNormalText) FNormalChar &= 7;
  FHighlightText = FNormalBack;
  FHighlightBack = FNormalText;
  FHighlightChar = FNormalChar;
}

// The word holds, from its lowest four bits up: normal text, normal back,
// highlight text, highlight back, normal hotkey, highlight hotkey. A word
// that would hide a colour on its own row's background is refused whole.
void TVexpickMenu::LoadColor(std::uint32_t colorWord) {
  const auto color = [colorWord](int field) { return static_cast<std::uint8_t>((colorWord >> (4 * field)) & 15); };
  const std::uint8_t normalText = color(0);
  const std::uint8_t normalBack = color(1);
  const std::uint8_t highlightText = color(2);
  const std::uint8_t highlightBack = color(3);
  const std::uint8_t normalChar = color(4);
  const std::uint8_t highlightChar = color(5);
  if (colorWord == 0 || normalText == normalBack || highlightText == highlightBack || normalChar == normalBack ||
      highlightChar == highlightBack) {
    return;
  }
  FNormalText = normalText;
  FNormalBack = normalBack;
  FHighlightText = highlightText;
  FHighlightBack = highlightBack;
  FNormalChar = normalChar;
  FHighlightChar = highlightChar;
}

}  // namespace vexpick
