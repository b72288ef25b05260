#include "console/utf8.h"

namespace vexpick::utf8 {
namespace {

constexpr bool IsContinuation(unsigned char byte) { return (byte & 0xC0U) == 0x80U; }

// Length of the sequence that `lead` begins and the valid range of the
// second byte (which rules out overlong forms, surrogates and > U+10FFFF).
struct Lead {
  std::size_t length;
  unsigned char secondMin;
  unsigned char secondMax;
};

constexpr Lead LeadOf(unsigned char lead) {
  if (lead >= 0xC2 && lead <= 0xDF) return {2, 0x80, 0xBF};
  if (lead == 0xE0) return {3, 0xA0, 0xBF};
  if (lead == 0xED) return {3, 0x80, 0x9F};
  if (lead >= 0xE1 && lead <= 0xEF) return {3, 0x80, 0xBF};
  if (lead == 0xF0) return {4, 0x90, 0xBF};
  if (lead >= 0xF1 && lead <= 0xF3) return {4, 0x80, 0xBF};
  if (lead == 0xF4) return {4, 0x80, 0x8F};
  return {1, 0, 0};
}

// How many bytes of `text` continue the sequence validly (lead included).
std::size_t ValidPrefix(std::string_view text, const Lead& lead) {
  std::size_t count = 1;
  while (count < lead.length && count < text.size()) {
    const auto byte = static_cast<unsigned char>(text[count]);
    const bool ok = count == 1 ? (byte >= lead.secondMin && byte <= lead.secondMax) : IsContinuation(byte);
    if (!ok) break;
    ++count;
  }
  return count;
}

}  // namespace

Decoded DecodeFirst(std::string_view text) {
  const auto first = static_cast<unsigned char>(text.front());
  if (first < 0x80) return {first, 1};
  const Lead lead = LeadOf(first);
  if (lead.length == 1 || ValidPrefix(text, lead) != lead.length) return {InvalidByteCode(first), 1};
  char32_t code = first & (0xFFU >> (lead.length + 1));
  for (std::size_t i = 1; i < lead.length; ++i) code = (code << 6) | (static_cast<unsigned char>(text[i]) & 0x3FU);
  return {code, lead.length};
}

std::string Encode(char32_t code) {
  std::string out;
  if (IsInvalidByteCode(code)) {
    out += static_cast<char>(code - kInvalidByteBase);
  } else if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code >> 18));
    out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
  return out;
}

bool IsIncompletePrefix(std::string_view text) {
  if (text.empty()) return false;
  const Lead lead = LeadOf(static_cast<unsigned char>(text.front()));
  return lead.length > text.size() && ValidPrefix(text, lead) == text.size();
}

}  // namespace vexpick::utf8
