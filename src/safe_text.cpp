#include "safe_text.h"

#include "console/console.h"

namespace vexpick {

std::string SafeText(std::string_view text) {
  constexpr std::size_t kTabStop = 8;
  std::string shown;
  shown.reserve(text.size());
  std::size_t column = 0;
  while (!text.empty()) {
    const std::string_view character = text.substr(0, CharLength(text));
    text.remove_prefix(character.size());
    if (character == "\t") {
      const std::size_t blanks = kTabStop - column % kTabStop;
      shown.append(blanks, ' ');
      column += blanks;
    } else if (IsControlCharacter(character)) {
      shown += '?';
      ++column;
    } else {
      shown += character;
      column += DisplayWidth(character);
    }
  }
  return shown;
}

}  // namespace vexpick
