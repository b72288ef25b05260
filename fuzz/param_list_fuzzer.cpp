// The parameter list built from any arguments: every argument lands in the
// right list unchanged, options read back by index as stored, and lookups by
// name answer the first match or -1, never an index out of range.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "console/console.h"
#include "fuzz_check.h"
#include "rparams/rparams.h"

namespace {

struct Classified {
  std::vector<std::string> optionLines;  // "name=value"
  std::vector<std::string> params;
};

Classified Classify(const std::vector<std::string>& arguments) {
  Classified classified;
  for (const std::string& argument : arguments) {
    const std::size_t prefix = argument.starts_with("--")                               ? 2
                               : argument.starts_with('-') || argument.starts_with('/') ? 1
                                                                                        : 0;
    if (prefix == 0) {
      classified.params.push_back(argument);
      continue;
    }
    std::string line = argument.substr(prefix);
    if (line.find('=') == std::string::npos) line += '=';
    classified.optionLines.push_back(line);
  }
  return classified;
}

std::string NameOf(const std::string& line) { return line.substr(0, line.find('=')); }
std::string ValueOf(const std::string& line) { return line.substr(line.find('=') + 1); }

void CheckByIndex(const vexpick::TRParamList& list, const Classified& expected) {
  const auto options = static_cast<std::int32_t>(expected.optionLines.size());
  const auto params = static_cast<std::int32_t>(expected.params.size());
  FUZZ_CHECK(list.GetOptionsCount() == options);
  FUZZ_CHECK(list.GetParamsCount() == params);
  for (std::int32_t i = 0; i < options; ++i) {
    const std::string& line = expected.optionLines[static_cast<std::size_t>(i)];
    const std::string name = NameOf(line);
    FUZZ_CHECK(list.GetOptionName(i) == (name.empty() ? line : name));
    FUZZ_CHECK(list.GetOptionValueByIndex(i) == ValueOf(line));
    if (!name.empty()) {
      const std::int32_t found = list.GetOptionIndex(name);
      FUZZ_CHECK(found >= 0 && found <= i);
    }
  }
  for (std::int32_t i = 0; i < params; ++i) {
    FUZZ_CHECK(list.GetParam(i) == expected.params[static_cast<std::size_t>(i)]);
    const std::int32_t found = list.GetParamIndex(list.GetParam(i));
    FUZZ_CHECK(found >= 0 && found <= i);
  }
  for (const std::int32_t outside : {-1, options, params}) {
    if (outside == -1 || outside == options) {
      FUZZ_CHECK(list.GetOptionName(outside).empty());
      FUZZ_CHECK(list.GetOptionValueByIndex(outside).empty());
    }
    if (outside == -1 || outside == params) FUZZ_CHECK(list.GetParam(outside).empty());
  }
}

void CheckLookup(const vexpick::TRParamList& list, const Classified& expected, const std::string& query) {
  const std::int32_t option = list.GetOptionIndex(query);
  FUZZ_CHECK(option >= -1 && option < list.GetOptionsCount());
  const std::int32_t param = list.GetParamIndex(query);
  FUZZ_CHECK(param >= -1 && param < list.GetParamsCount());
  if (param >= 0) FUZZ_CHECK(vexpick::SameText(expected.params[static_cast<std::size_t>(param)], query));
  if (option < 0) {
    FUZZ_CHECK(list.GetOptionValue(query).empty());
    return;
  }
  const std::string& line = expected.optionLines[static_cast<std::size_t>(option)];
  const std::string name = NameOf(line);
  const bool byName = !name.empty() && vexpick::SameText(name, query);
  FUZZ_CHECK(byName || vexpick::SameText(line, query));
  if (byName && !ValueOf(line).empty()) FUZZ_CHECK(list.GetOptionValue(query) == ValueOf(line));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  constexpr int kMostArguments = 24;
  constexpr std::size_t kLongestArgument = 40;
  FuzzedDataProvider input(data, size);
  std::vector<std::string> arguments(input.ConsumeIntegralInRange(0, kMostArguments));
  for (std::string& argument : arguments) argument = input.ConsumeRandomLengthString(kLongestArgument);
  const vexpick::TRParamList list(arguments, false);
  const Classified expected = Classify(arguments);
  CheckByIndex(list, expected);
  while (input.remaining_bytes() > 0) CheckLookup(list, expected, input.ConsumeRandomLengthString(kLongestArgument));
  for (const std::string& argument : arguments) CheckLookup(list, expected, argument);
  return 0;
}
