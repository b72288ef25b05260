// The question-list loader on a stream that delivers its data in chunks of
// any size and may fail at any read: the lines are exactly the data split at
// CR, LF and CR LF, a failure leaves an empty list, and nothing is read after
// the end or a failure.
#include <fuzzer/FuzzedDataProvider.h>
#include <algorithm>

#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "console/console.h"
#include "fuzz_check.h"
#include "menu/menu.h"
#include "support/fake_console.h"

namespace {

class ChunkedStream : public vexpick::ByteStream {
 public:
  explicit ChunkedStream(FuzzedDataProvider& input) : input_(input) {}

  std::optional<std::size_t> Read(char* buffer, std::size_t count) override {
    FUZZ_CHECK(!ended_ && !failed_);
    FUZZ_CHECK(count > 0);
    constexpr std::uint8_t kFail = 0xFF;
    if (input_.remaining_bytes() > 0 && input_.ConsumeIntegral<std::uint8_t>() == kFail) {
      failed_ = true;
      return std::nullopt;
    }
    const std::string chunk = input_.ConsumeBytesAsString(input_.ConsumeIntegralInRange<std::size_t>(0, count));
    std::memcpy(buffer, chunk.data(), chunk.size());
    delivered_ += chunk;
    ended_ = chunk.empty();
    return chunk.size();
  }

  [[nodiscard]] bool Failed() const { return failed_; }
  [[nodiscard]] const std::string& Delivered() const { return delivered_; }

 private:
  FuzzedDataProvider& input_;
  std::string delivered_;
  bool ended_ = false;
  bool failed_ = false;
};

std::vector<std::string> SplitLines(std::string_view data) {
  std::vector<std::string> lines;
  std::string line;
  for (std::size_t i = 0; i < data.size(); ++i) {
    if (data[i] != '\r' && data[i] != '\n') {
      line += data[i];
      continue;
    }
    if (data[i] == '\r' && i + 1 < data.size() && data[i + 1] == '\n') ++i;
    lines.push_back(line);
    line.clear();
  }
  if (!line.empty()) lines.push_back(line);
  return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  vexpick::testing::FakeConsole console;
  vexpick::TVexpickMenu menu(console);
  menu.FQuestionList = {"from an earlier load"};
  ChunkedStream stream(input);
  const bool loaded = menu.LoadQuestionListFromStream(stream);
  if (stream.Failed()) {
    FUZZ_CHECK(!loaded && menu.FQuestionList.empty());
  } else {
    const std::vector<std::string> expected = SplitLines(stream.Delivered());
    FUZZ_CHECK(loaded &&
               std::equal(menu.FQuestionList.begin(), menu.FQuestionList.end(), expected.begin(), expected.end()));
  }
  return 0;
}
