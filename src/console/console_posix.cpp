// The POSIX back end: the controlling terminal through termios and VT/xterm
// control sequences, UTF-8 text, and the process's files and handles.
#include <locale.h>
#include <wchar.h>
#include <wctype.h>

#include "console/console.h"
#include "console/utf8.h"

namespace vexpick {
namespace {

// A UTF-8 C locale of our own: the user's environment never changes how
// letters compare or how wide a character is.
locale_t Utf8Locale() {
  static const locale_t locale = [] {
    locale_t made = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
    return made != static_cast<locale_t>(nullptr) ? made
                                                  : newlocale(LC_CTYPE_MASK, "C", static_cast<locale_t>(nullptr));
  }();
  return locale;
}

bool IsValidCodePoint(char32_t code) { return code < utf8::kInvalidByteBase || code > utf8::kInvalidByteBase + 0xFF; }

char32_t FoldCase(char32_t code) {
  if (code < 0x80) return (code >= 'A' && code <= 'Z') ? code + ('a' - 'A') : code;
  if (!IsValidCodePoint(code)) return code;
  return static_cast<char32_t>(towlower_l(static_cast<wint_t>(code), Utf8Locale()));
}

int CharColumns(char32_t code) {
  if (code < 0x80 || !IsValidCodePoint(code)) return 1;
  const locale_t previous = uselocale(Utf8Locale());
  const int width = wcwidth(static_cast<wchar_t>(code));
  uselocale(previous);
  return width < 0 ? 1 : width;
}

}  // namespace

std::size_t CharLength(std::string_view text) { return text.empty() ? 0 : utf8::DecodeFirst(text).length; }

std::size_t DisplayWidth(std::string_view text) {
  std::size_t width = 0;
  while (!text.empty()) {
    const utf8::Decoded character = utf8::DecodeFirst(text);
    width += static_cast<std::size_t>(CharColumns(character.codePoint));
    text.remove_prefix(character.length);
  }
  return width;
}

bool SameText(std::string_view a, std::string_view b) {
  while (!a.empty() && !b.empty()) {
    const utf8::Decoded left = utf8::DecodeFirst(a);
    const utf8::Decoded right = utf8::DecodeFirst(b);
    if (FoldCase(left.codePoint) != FoldCase(right.codePoint)) return false;
    a.remove_prefix(left.length);
    b.remove_prefix(right.length);
  }
  return a.empty() && b.empty();
}

bool IsControlCharacter(std::string_view character) {
  if (character.empty()) return false;
  const char32_t code = utf8::DecodeFirst(character).codePoint;
  return code < 0x20 || code == 0x7F || (code >= 0x80 && code <= 0x9F);
}

std::string KeyText(KeyCode key) {
  if (key == kKeyNone || IsExtendedKey(key)) return {};
  return utf8::Encode(static_cast<char32_t>(key));
}

}  // namespace vexpick
