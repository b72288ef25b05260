#include "Vexpick.h"

#include <algorithm>
#include <array>
#include <optional>

#include "safe_text.h"

namespace vexpick {
namespace {

// ---------------------------------------------------------------------------
// Number conversion

struct BasePrefix {
  std::string_view text;
  std::uint32_t base;
};

// "0x" comes before the decimal digits could claim its "0".
constexpr std::array<BasePrefix, 7> kBasePrefixes{{
    {"0x", 16},
    {"0X", 16},
    {"$", 16},
    {"x", 16},
    {"X", 16},
    {"%", 2},
    {"&", 8},
}};

std::uint32_t TakeBase(std::string_view& text) {
  for (const BasePrefix& prefix : kBasePrefixes) {
    if (text.starts_with(prefix.text)) {
      text.remove_prefix(prefix.text.size());
      return prefix.base;
    }
  }
  return 10;
}

std::optional<std::uint32_t> DigitValue(char digit) {
  if (digit >= '0' && digit <= '9') return static_cast<std::uint32_t>(digit - '0');
  if (digit >= 'a' && digit <= 'f') return static_cast<std::uint32_t>(digit - 'a' + 10);
  if (digit >= 'A' && digit <= 'F') return static_cast<std::uint32_t>(digit - 'A' + 10);
  return std::nullopt;
}

// One or more digits of `base` whose value is at most `limit`.
std::optional<std::uint32_t> ParseMagnitude(std::string_view digits, std::uint32_t base, std::uint64_t limit) {
  if (digits.empty()) return std::nullopt;
  std::uint64_t value = 0;
  for (const char digit : digits) {
    const std::optional<std::uint32_t> digitValue = DigitValue(digit);
    if (!digitValue || *digitValue >= base) return std::nullopt;
    value = value * base + *digitValue;
    if (value > limit) return std::nullopt;
  }
  return static_cast<std::uint32_t>(value);
}

// ---------------------------------------------------------------------------
// The entry's options

bool HasOption(const TRParamList& params, std::string_view name) { return params.GetOptionIndex(name) >= 0; }

std::int32_t NumberOption(const TRParamList& params, std::string_view name, std::int32_t fallback) {
  return ConvertNumber(params.GetOptionValue(name), fallback);
}

// Question lines from a redirected standard input; keys then come from the
// console device, whether or not the lines could be read. True on failure.
bool LoadRedirectedInput(TVexpickMenu& menu, const TRParamList& params, Console& console) {
  if (!params.StdInRedirected()) return false;
  const bool failed = !menu.LoadQuestionListFromHandle(params.StdInHandle());
  console.UseConsoleDeviceForKeys();
  return failed;
}

void ApplyMenuOptions(TVexpickMenu& menu, const TRParamList& params) {
  if (HasOption(params, "menu")) {
    menu.FShowMenu = true;
    // Negative numbers pass on their two's-complement bits.
    if (HasOption(params, "color")) menu.LoadColor(static_cast<std::uint32_t>(NumberOption(params, "color", 0)));
  }
  if (HasOption(params, "quiet")) menu.FQuiet = true;
  if (HasOption(params, "question")) menu.FQuestion = params.GetOptionValue("question");
}

// Adds the plain parameters in order; false at the first refused one.
bool AddItems(TVexpickMenu& menu, const TRParamList& params) {
  for (std::int32_t index = 0; index < params.GetParamsCount(); ++index) {
    if (menu.AddItem(params.GetParam(index)) < 0) return false;
  }
  return true;
}

void ApplyDefault(TVexpickMenu& menu, const TRParamList& params) {
  if (!HasOption(params, "default")) return;
  // 32-bit wrap-around: every n outside 1..items lands outside the items.
  const auto number = static_cast<std::uint32_t>(NumberOption(params, "default", 1));
  menu.SetDefaultItem(static_cast<std::int32_t>(number - 1U));
}

std::int32_t RunMenu(TVexpickMenu& menu, const TRParamList& params, Console& console) {
  std::int32_t exitCode = 0;
  bool Kaka = LoadRedirectedInput(menu, params, console);
  ApplyMenuOptions(menu, params);
  if (HasOption(params, "question-file") && !Kaka) {
    Kaka = !menu.LoadQuestionListFromFile(params.GetOptionValue("question-file"));
  }
  if (HasOption(params, "timeout")) menu.FExpire = NumberOption(params, "timeout", 0);
  if (!AddItems(menu, params)) {
    exitCode = -1;
    Kaka = true;
  }
  ApplyDefault(menu, params);
  if (Kaka) return exitCode;

  const bool DoDebug = HasOption(params, "debug");
  if (DoDebug) ShowDebugInfo(console, menu, params);
  exitCode = menu.Run();
  if (DoDebug) {
    console.WriteLine("Menu result " + std::to_string(menu.FResult) + " ERRORLEVEL=" + std::to_string(exitCode));
  }
  return exitCode;
}

// ---------------------------------------------------------------------------
// Help text and debug report

constexpr std::array<std::string_view, 25> kHelpText{{
    "SYNTAX  Vexpick.exe  [options] Item1 Item2 ... ItemN",
    "",
    "OPTIONS :",
    "--menu                    show menu",
    "--quiet                   do not show anything",
    "--question=question text  show questions to ask",
    "--default=n               default item = n",
    "--timeout=nSec            default item in nSec seconds",
    "--color=nColor            set custom colors for menu mode",
    "",
    "NOTE: mark items hotkey with tilde",
    "      (ie. Test~1 shows Test1 executes on \"1\") ",
    "      double tilde shows tilde",
    "      program returns errorlevel 1-N ",
    "      ESC returns errorlevel 0 ",
    "      Enter returns errorlevel of default item ",
    "",
    "      color option is integer and represents 6 colors used",
    "        Normal color, background, highlighted text",
    "        Active color, background, highlighted text",
    "        in hex format $(HC)(NC)(HB)(HT)(NB)(NT)",
    "        ie. --color=$00FF7E1E or --color=0x00FF7E1E",
    "            draws yellow on black white shortcut ",
    "            with selection yellow on gray white shortcut ",
    "            --color=16743966 will draw same result",
}};

constexpr const char* kSeparator = " = ";

std::string BoolText(bool value) { return value ? "TRUE" : "FALSE"; }

// User text never drives the terminal.
void WriteUserLine(Console& console, std::string_view line) { console.WriteLine(SafeText(line)); }

void ShowParams(Console& console, const TRParamList& params) {
  console.WriteLine("Params and options passed to program :");
  console.WriteLine("Options " + std::to_string(params.GetOptionsCount()));
  for (std::int32_t i = 0; i < params.GetOptionsCount(); ++i) {
    const std::string name = params.GetOptionName(i);
    WriteUserLine(console, "Option " + std::to_string(i) + " " + name + kSeparator + params.GetOptionValueByIndex(i) +
                               kSeparator + params.GetOptionValue(name) + kSeparator +
                               std::to_string(params.GetOptionIndex(name)));
  }
  console.WriteLine("Params  " + std::to_string(params.GetParamsCount()));
  for (std::int32_t i = 0; i < params.GetParamsCount(); ++i) {
    const std::string param = params.GetParam(i);
    WriteUserLine(console, "Param  " + std::to_string(i) + " " + param + kSeparator +
                               std::to_string(params.GetParamIndex(param)));
  }
}

void ShowMenuSettings(Console& console, const TVexpickMenu& menu) {
  console.WriteLine("Menu :");
  console.WriteLine("ShowMenu = " + BoolText(menu.FShowMenu));
  console.WriteLine("Quiet    = " + BoolText(menu.FQuiet));
  WriteUserLine(console, "Question = " + menu.FQuestion);
  console.WriteLine("Default  = " + std::to_string(menu.FDefault));
  console.WriteLine("Timeout  = " + std::to_string(menu.FExpire));
  for (std::int32_t i = 0; i < menu.ItemCount(); ++i) {
    WriteUserLine(console, menu.GetShortcut(i) + " " + menu.GetItemFromIndex(i));
  }
  // The first question line follows the label; a non-empty list ends with an
  // empty line.
  std::string line = "Text     = ";
  for (const std::string_view question : menu.FQuestionList) {
    WriteUserLine(console, line.append(question));
    line.clear();
  }
  console.WriteLine(line);
}

}  // namespace

std::int32_t ConvertNumber(std::string_view text, std::int32_t fallback) {
  constexpr std::size_t kMaxLength = 255;
  constexpr std::uint64_t kMaxPositive = 2147483647;
  constexpr std::uint64_t kMaxBits = 0xFFFFFFFF;
  if (text.size() > kMaxLength) return fallback;
  text.remove_prefix(std::min(text.find_first_not_of(" \t"), text.size()));
  const bool negative = text.starts_with('-');
  if (negative || text.starts_with('+')) text.remove_prefix(1);
  const std::uint32_t base = TakeBase(text);
  const std::uint64_t limit = base != 10 ? kMaxBits : kMaxPositive + (negative ? 1 : 0);
  const std::optional<std::uint32_t> magnitude = ParseMagnitude(text, base, limit);
  if (!magnitude) return fallback;
  return static_cast<std::int32_t>(negative ? 0U - *magnitude : *magnitude);
}

void ShowHelp(Console& console) {
  for (const std::string_view line : kHelpText) console.WriteLine(line);
}

void ShowDebugInfo(Console& console, const TVexpickMenu& menu, const TRParamList& params) {
  ShowParams(console, params);
  Pauza(console);
  console.WriteLine("");
  ShowMenuSettings(console, menu);
  Pauza(console);
}

void Pauza(Console& console) {
  // Keys typed before the pause do not end it.
  console.DiscardKeys();
  KeyWait wait = console.WaitForKey(kNoDeadline);
  while (wait == KeyWait::Resumed) wait = console.WaitForKey(kNoDeadline);
  if (wait == KeyWait::Key) console.ReadKey();
}

std::int32_t RunVexpick(std::vector<std::string> arguments, Console& console, StdHandleQuery queryStdHandle) {
  const TRParamList params(std::move(arguments), true, queryStdHandle);
  if (HasOption(params, "help")) {
    ShowHelp(console);
    return 0;
  }
  // Declared after the parameter list, so it is freed first on every way out.
  TVexpickMenu menu(console);
  return RunMenu(menu, params, console);
}

}  // namespace vexpick
