// The Win32 console back end.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <array>
#include <cstdint>

#include "console/console.h"

// ---------------------------------------------------------------------------
// Case keys: a character here is one byte, and the key of a byte is the
// smallest byte that the user's locale finds equal to it with letter case
// ignored. Found on first use of each byte, then kept.

namespace vexpick {
namespace {

char CaseKeyOfByte(char byte) {
  static std::array<std::int16_t, 256> keys = [] {
    std::array<std::int16_t, 256> unknown{};
    unknown.fill(-1);
    return unknown;
  }();
  std::int16_t& key = keys[static_cast<unsigned char>(byte)];
  if (key >= 0) return static_cast<char>(key);
  key = static_cast<unsigned char>(byte);
  for (std::int16_t candidate = 0; candidate < key; ++candidate) {
    const char other = static_cast<char>(candidate);
    if (CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, &other, 1, &byte, 1) == CSTR_EQUAL) key = candidate;
  }
  return static_cast<char>(key);
}

}  // namespace

std::string CaseKey(std::string_view character) {
  std::string key(character);
  for (char& byte : key) byte = CaseKeyOfByte(byte);
  return key;
}

}  // namespace vexpick
