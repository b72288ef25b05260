#include "rparams/rparams.h"

#include <algorithm>
#include <utility>

namespace vexpick {
namespace {

constexpr char kQuote = '"';
constexpr char kNameEnd = '=';

bool IsArgumentSeparator(char byte) {
  const auto code = static_cast<unsigned char>(byte);
  return code >= 1 && code <= ' ';
}

// "--x" and "-x" and "/x" are options; an empty argument is a plain parameter.
std::size_t OptionPrefixLength(std::string_view argument) {
  if (argument.starts_with("--")) return 2;
  if (argument.starts_with('-') || argument.starts_with('/')) return 1;
  return 0;
}

std::string_view NameOf(std::string_view line) { return line.substr(0, line.find(kNameEnd)); }

std::string_view ValueOf(std::string_view line) {
  const std::size_t end = line.find(kNameEnd);
  return end == std::string_view::npos ? std::string_view() : line.substr(end + 1);
}

const std::string* EntryAt(const std::vector<std::string>& list, std::int32_t I) {
  if (I < 0 || static_cast<std::size_t>(I) >= list.size()) return nullptr;
  return &list[static_cast<std::size_t>(I)];
}

template <typename Predicate>
std::int32_t FindFirst(const std::vector<std::string>& list, Predicate matches) {
  const auto found = std::find_if(list.begin(), list.end(), matches);
  return found == list.end() ? -1 : static_cast<std::int32_t>(found - list.begin());
}

std::int32_t CountOf(const std::vector<std::string>& list) { return static_cast<std::int32_t>(list.size()); }

}  // namespace

std::vector<std::string> SplitCommandLine(std::string_view commandLine) {
  std::vector<std::string> arguments;
  std::string argument;
  bool inArgument = false;  // a quote alone starts an argument, so "" is one
  bool quoting = false;
  for (const char byte : commandLine) {
    if (byte == kQuote) {
      quoting = !quoting;
      inArgument = true;
    } else if (!quoting && IsArgumentSeparator(byte)) {
      if (inArgument) arguments.push_back(std::exchange(argument, {}));
      inArgument = false;
    } else {
      argument += byte;
      inArgument = true;
    }
  }
  if (inArgument) arguments.push_back(std::move(argument));
  return arguments;
}

TRParamList::TRParamList(std::vector<std::string> arguments, bool DoScanRedirections, StdHandleQuery queryStdHandle)
    : FArguments(std::move(arguments)), FQueryStdHandle(queryStdHandle) {
  if (DoScanRedirections) ScanRedirections();
  ScanParams();
}

void TRParamList::ScanParams() {
  FOptionList.clear();
  FParamList.clear();
  for (const std::string& argument : FArguments) {
    const std::size_t prefix = OptionPrefixLength(argument);
    if (prefix == 0) {
      FParamList.push_back(argument);
      continue;
    }
    std::string line = argument.substr(prefix);
    if (line.find(kNameEnd) == std::string::npos) line += kNameEnd;
    FOptionList.push_back(std::move(line));
  }
}

void TRParamList::ScanRedirections() {
  const auto scan = [this](int which, SystemHandle& handle, bool& redirected) {
    const StdHandleState state = FQueryStdHandle(which);
    handle = state.handle;
    redirected = state.redirected;
  };
  scan(0, FStdInHandle, FStdInRedirected);
  scan(1, FStdOutHandle, FStdOutRedirected);
  scan(2, FStdErrHandle, FStdErrRedirected);
}

std::int32_t TRParamList::GetOptionsCount() const { return CountOf(FOptionList); }

std::string TRParamList::GetOptionName(std::int32_t I) const {
  const std::string* line = EntryAt(FOptionList, I);
  if (line == nullptr) return {};
  const std::string_view name = NameOf(*line);
  return std::string(name.empty() ? *line : name);
}

std::string TRParamList::GetOptionValueByIndex(std::int32_t I) const {
  const std::string* line = EntryAt(FOptionList, I);
  return line == nullptr ? std::string() : std::string(ValueOf(*line));
}

std::int32_t TRParamList::FindNamedOption(std::string_view S) const {
  return FindFirst(FOptionList, [S](const std::string& line) {
    const std::string_view name = NameOf(line);
    return !name.empty() && SameText(name, S);
  });
}

std::int32_t TRParamList::FindWholeOption(std::string_view S) const {
  return FindFirst(FOptionList, [S](const std::string& line) { return SameText(line, S); });
}

std::string TRParamList::GetOptionValue(std::string_view S) const {
  std::string value = GetOptionValueByIndex(FindNamedOption(S));
  if (value.empty()) value = GetOptionValueByIndex(FindWholeOption(S));
  return value;
}

std::int32_t TRParamList::GetOptionIndex(std::string_view S) const {
  const std::int32_t named = FindNamedOption(S);
  return named >= 0 ? named : FindWholeOption(S);
}

std::int32_t TRParamList::GetParamsCount() const { return CountOf(FParamList); }

std::string TRParamList::GetParam(std::int32_t I) const {
  const std::string* param = EntryAt(FParamList, I);
  return param == nullptr ? std::string() : *param;
}

std::int32_t TRParamList::GetParamIndex(std::string_view S) const {
  return FindFirst(FParamList, [S](const std::string& param) { return SameText(param, S); });
}

}  // namespace vexpick
