// Text from the user (items, question lines, option values) on its way to the
// window: it must never be able to drive the terminal.
#pragma once

#include <string>
#include <string_view>

namespace vexpick {

// `text` as it may be shown on a row that starts at column 1: a tab becomes
// blanks up to the next multiple of 8 columns, every other control character
// becomes "?".
std::string SafeText(std::string_view text);

}  // namespace vexpick
