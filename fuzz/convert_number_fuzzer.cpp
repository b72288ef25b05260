// The number conversion against a second, plain reading of its rules:
// blanks and tabs, a sign, a base prefix, digits that fit in 32 bits.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "Vexpick.h"
#include "fuzz_check.h"

namespace {

int DigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Removes a base prefix from `text` and returns the base it names.
int TakeBase(std::string_view& text) {
  if (text.starts_with("0x") || text.starts_with("0X")) {
    text.remove_prefix(2);
    return 16;
  }
  int base = 10;
  switch (text.empty() ? '\0' : text[0]) {
    case '$':
    case 'x':
    case 'X':
      base = 16;
      break;
    case '%':
      base = 2;
      break;
    case '&':
      base = 8;
      break;
    default:
      return base;
  }
  text.remove_prefix(1);
  return base;
}

std::optional<std::int32_t> ExpectedNumber(std::string_view text) {
  constexpr std::size_t kLongestNumber = 255;
  if (text.size() > kLongestNumber) return std::nullopt;
  text.remove_prefix(std::min(text.size(), text.find_first_not_of(" \t")));
  bool negative = false;
  if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
    negative = text[0] == '-';
    text.remove_prefix(1);
  }
  const int base = TakeBase(text);
  if (text.empty()) return std::nullopt;
  const std::uint64_t limit = base != 10 ? 0xFFFFFFFFu : negative ? 2147483648u : 2147483647u;
  std::uint64_t value = 0;
  for (const char c : text) {
    const int digit = DigitValue(c);
    if (digit < 0 || digit >= base) return std::nullopt;
    value = value * static_cast<std::uint64_t>(base) + static_cast<std::uint64_t>(digit);
    if (value > limit) return std::nullopt;
  }
  std::uint32_t bits = static_cast<std::uint32_t>(value);
  if (negative) bits = 0u - bits;
  return static_cast<std::int32_t>(bits);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  const auto fallback = input.ConsumeIntegral<std::int32_t>();
  const std::string text = input.ConsumeRemainingBytesAsString();
  FUZZ_CHECK(vexpick::ConvertNumber(text, fallback) == ExpectedNumber(text).value_or(fallback));
  return 0;
}
