// UTF-8 decoding and encoding, strict: a byte that does not begin a valid,
// shortest-form sequence is a character of its own.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace vexpick::utf8 {

struct Decoded {
  char32_t codePoint;  // for an invalid byte b: kInvalidByteBase + b
  std::size_t length;  // bytes taken, at least 1
};

// Invalid bytes map into the low surrogates, which valid UTF-8 never yields.
inline constexpr char32_t kInvalidByteBase = 0xDC00;
inline constexpr char32_t InvalidByteCode(unsigned char byte) { return kInvalidByteBase + byte; }
// Only bytes 0x80-0xFF can be invalid.
inline constexpr bool IsInvalidByteCode(char32_t code) {
  return code >= kInvalidByteBase + 0x80 && code <= kInvalidByteBase + 0xFF;
}

// The first character of a non-empty text.
Decoded DecodeFirst(std::string_view text);
// The bytes of a code point (an invalid-byte code gives that byte back).
std::string Encode(char32_t codePoint);
// Whether `text` begins with an incomplete but so far valid sequence.
bool IsIncompletePrefix(std::string_view text);

}  // namespace vexpick::utf8
