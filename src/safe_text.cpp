#include "safe_text.h"

#include "console/console.h"

namespace vexpick {
namespace {

// The length of the run of printable ASCII at the start of `text`: each of
// these bytes is one character of one column that is shown as it is.
std::size_t PlainPrefixLength(std::string_view text) {
  std::size_t length = 0;
  while (length < text.size()) {
    const auto byte = static_cast<unsigned char>(text[length]);
    if (byte < 0x20 || byte >= 0x7F) break;
    ++length;
  }
  return length;
}

}  // namespace

std::string SafeText(std::string_view text) {
  constexpr std::size_t kTabStop = 8;
  std::string shown;
  shown.reserve(text.size());
  std::size_t column = 0;
  while (!text.empty()) {
    if (const std::size_t plain = PlainPrefixLength(text); plain > 0) {
      shown += text.substr(0, plain);
      column += plain;
      text.remove_prefix(plain);
      continue;
    }
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
