// The program entry: options applied in a fixed order, items added, the menu
// run, and the exit code; the help text and the debug report.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "console/console.h"
#include "menu/menu.h"
#include "rparams/rparams.h"

namespace vexpick {

// An option value as a 32-bit number (decimal, or "$"/"x"/"0x" hex, "%"
// binary, "&" octal, with leading blanks and a sign); `fallback` when the
// text is not a number or does not fit.
std::int32_t ConvertNumber(std::string_view text, std::int32_t fallback);

void ShowHelp(Console& console);
void ShowDebugInfo(Console& console, const TVexpickMenu& menu, const TRParamList& params);
// Waits for one whole key; returns at once when no key can ever come.
void Pauza(Console& console);

// Runs the whole program on `arguments` and returns the exit code.
std::int32_t RunVexpick(std::vector<std::string> arguments, Console& console,
                        StdHandleQuery queryStdHandle = QueryStdHandle);

}  // namespace vexpick
