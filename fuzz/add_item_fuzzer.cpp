// AddItem over a sequence of items, against a second reading of the tilde
// rules and the automatic hotkey: each item is added exactly as expected or
// refused without a trace, and every hotkey stays unique and findable.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "console/console.h"
#include "fuzz_check.h"
#include "menu/menu.h"
#include "support/fake_console.h"

namespace {

struct ExpectedItem {
  std::string hotkey;
  std::string text;
  std::int32_t position = 0;  // 1-based, in characters
};

std::vector<std::string> Characters(std::string_view text) {
  std::vector<std::string> characters;
  while (!text.empty()) {
    characters.emplace_back(text.substr(0, vexpick::CharLength(text)));
    text.remove_prefix(characters.back().size());
  }
  return characters;
}

bool InUse(const std::vector<vexpick::TMenuItem>& items, const std::string& hotkey) {
  return std::any_of(items.begin(), items.end(),
                     [&](const vexpick::TMenuItem& item) { return vexpick::SameText(item.Hotkey, hotkey); });
}

std::optional<ExpectedItem> ExpectedAdd(std::string_view source, const std::vector<vexpick::TMenuItem>& items) {
  const std::vector<std::string> characters = Characters(source);
  ExpectedItem item;
  std::vector<std::string> shown;
  std::optional<std::string> marked;
  for (std::size_t k = 0; k < characters.size(); ++k) {
    const bool dropped = characters[k] == "~" && k + 1 < characters.size() && characters[k + 1] != "~";
    if (!dropped) {
      shown.push_back(characters[k]);
      item.text += characters[k];
    } else if (!marked && (k == 0 || characters[k - 1] != "~")) {
      marked = characters[k + 1];
      item.position = static_cast<std::int32_t>(shown.size()) + 1;
    }
  }
  if (shown.empty()) return std::nullopt;
  // Dropped tildes can join stray bytes into new characters: what counts is
  // the text as shown, and a mark that names none of its characters is void.
  shown = Characters(item.text);
  const auto position = static_cast<std::size_t>(item.position);
  if (marked && (position > shown.size() || shown[position - 1] != *marked)) marked.reset();
  if (marked) {
    if (InUse(items, *marked)) return std::nullopt;
    item.hotkey = *marked;
    return item;
  }
  const auto free = std::find_if(shown.begin(), shown.end(), [&](const std::string& c) { return !InUse(items, c); });
  if (free == shown.end()) return std::nullopt;
  item.hotkey = *free;
  item.position = static_cast<std::int32_t>(free - shown.begin()) + 1;
  return item;
}

void CheckAdd(vexpick::TVexpickMenu& menu, const std::string& source) {
  const std::optional<ExpectedItem> expected = ExpectedAdd(source, menu.FItemList);
  const std::int32_t before = menu.ItemCount();
  const std::int32_t index = menu.AddItem(source);
  FUZZ_CHECK(menu.FShortcutList.size() == menu.FItemList.size());
  if (!expected) {
    FUZZ_CHECK(index == -1 && menu.ItemCount() == before);
    return;
  }
  FUZZ_CHECK(index == before && menu.ItemCount() == before + 1);
  const vexpick::TMenuItem& added = menu.FItemList.back();
  FUZZ_CHECK(added.Hotkey == expected->hotkey);
  FUZZ_CHECK(added.Text == expected->text);
  FUZZ_CHECK(menu.FShortcutList.back() == expected->position);
  FUZZ_CHECK(menu.FindHotkey(added.Hotkey) == index);
  FUZZ_CHECK(menu.GetShortcut(index) == added.Hotkey);
  FUZZ_CHECK(menu.GetItemFromIndex(index) == added.Text);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  constexpr int kMostItems = 128;
  constexpr std::size_t kLongestItem = 32;
  FuzzedDataProvider input(data, size);
  vexpick::testing::FakeConsole console;
  vexpick::TVexpickMenu menu(console);
  for (int i = 0; i < kMostItems && input.remaining_bytes() > 0; ++i) {
    CheckAdd(menu, input.ConsumeRandomLengthString(kLongestItem));
  }
  for (std::size_t i = 0; i < menu.FItemList.size(); ++i) {
    const vexpick::TMenuItem& item = menu.FItemList[i];
    const std::vector<std::string> characters = Characters(item.Text);
    const std::int32_t position = menu.FShortcutList[i];
    FUZZ_CHECK(position >= 1 && static_cast<std::size_t>(position) <= characters.size());
    FUZZ_CHECK(characters[static_cast<std::size_t>(position) - 1] == item.Hotkey);
    FUZZ_CHECK(menu.FindHotkey(item.Hotkey) == static_cast<std::int32_t>(i));
  }
  FUZZ_CHECK(menu.GetItemFromIndex(-1).empty() && menu.GetItemFromIndex(menu.ItemCount()).empty());
  return 0;
}
