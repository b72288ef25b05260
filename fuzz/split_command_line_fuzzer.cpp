// The command-line splitter on any text: without quotes it splits at control
// bytes and blanks, it never keeps a double quote, and it reads back its own
// arguments when each one is written in quotes.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_check.h"
#include "rparams/rparams.h"

namespace {

bool IsSeparator(char byte) { return byte >= 1 && byte <= 32; }

std::vector<std::string> SplitAtSeparators(std::string_view line) {
  std::vector<std::string> words;
  std::string word;
  for (const char byte : line) {
    if (!IsSeparator(byte)) {
      word += byte;
    } else if (!word.empty()) {
      words.push_back(word);
      word.clear();
    }
  }
  if (!word.empty()) words.push_back(word);
  return words;
}

std::string QuoteEach(const std::vector<std::string>& arguments) {
  std::string line;
  for (const std::string& argument : arguments) line += " \"" + argument + '"';
  return line;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view line(reinterpret_cast<const char*>(data), size);
  const std::vector<std::string> arguments = vexpick::SplitCommandLine(line);
  std::size_t bytes = 0;
  for (const std::string& argument : arguments) {
    FUZZ_CHECK(argument.find('"') == std::string::npos);
    bytes += argument.size();
  }
  FUZZ_CHECK(bytes <= size);
  if (line.find('"') == std::string_view::npos) FUZZ_CHECK(arguments == SplitAtSeparators(line));
  FUZZ_CHECK(vexpick::SplitCommandLine(QuoteEach(arguments)) == arguments);
  return 0;
}
