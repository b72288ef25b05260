// The filter for text from the user: whatever goes in, nothing that a
// terminal takes as a control comes out; text without controls and tabs
// passes unchanged, a tab ends on a multiple of 8 columns, and filtering
// twice changes nothing more.
#include <cstdint>
#include <string>
#include <string_view>

#include "console/console.h"
#include "console/utf8.h"
#include "fuzz_check.h"
#include "safe_text.h"

namespace {

bool IsControlByte(unsigned char byte) { return byte < 0x20 || byte == 0x7F; }
// C1 controls: as UTF-8 (U+0080-U+009F), or as a lone byte that an 8-bit
// terminal would take for one.
bool IsC1(char32_t code) {
  return (code >= 0x80 && code <= 0x9F) ||
         (code >= vexpick::utf8::kInvalidByteBase + 0x80 && code <= vexpick::utf8::kInvalidByteBase + 0x9F);
}

bool HasControls(std::string_view text) {
  while (!text.empty()) {
    const vexpick::utf8::Decoded character = vexpick::utf8::DecodeFirst(text);
    if (IsC1(character.codePoint) || (character.length == 1 && IsControlByte(static_cast<unsigned char>(text[0])))) {
      return true;
    }
    text.remove_prefix(character.length);
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const std::string shown = vexpick::SafeText(text);
  FUZZ_CHECK(!HasControls(shown));
  if (!HasControls(text)) FUZZ_CHECK(shown == text);
  if (text.ends_with('\t')) FUZZ_CHECK(vexpick::DisplayWidth(shown) % 8 == 0);
  FUZZ_CHECK(vexpick::SafeText(shown) == shown);
  return 0;
}
