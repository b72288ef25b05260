// The question lines: read from a stream, a handle or a file and split into
// lines at CR, LF or CR LF.
//
// The bytes are split as they arrive, so that only the lines themselves stay
// in memory, each in a string of its own size.
#include <algorithm>
#include <memory>

#include "menu/menu.h"

namespace vexpick {
namespace {

constexpr std::size_t kFirstReadSize = 1024;
// Reads double in size up to here: large enough for few reads of a big file,
// small enough that a long pipe never asks for an impossible buffer.
constexpr std::size_t kLargestReadSize = std::size_t{1} << 20;

bool IsLineEnd(char byte) { return byte == '\r' || byte == '\n'; }

class TLineSplitter {
 public:
  explicit TLineSplitter(std::vector<std::string>& lines) : lines_(lines) {}

  void Feed(std::string_view bytes) {
    for (;;) {
      // The LF of a CR LF may come with the next piece.
      if (afterCarriageReturn_ && !bytes.empty()) {
        if (bytes.front() == '\n') bytes.remove_prefix(1);
        afterCarriageReturn_ = false;
      }
      const auto end = std::find_if(bytes.begin(), bytes.end(), IsLineEnd);
      if (end == bytes.end()) {
        partial_ += bytes;
        return;
      }
      const auto length = static_cast<std::size_t>(end - bytes.begin());
      EndLine(bytes.substr(0, length));
      afterCarriageReturn_ = *end == '\r';
      bytes.remove_prefix(length + 1);
    }
  }

  // Text after the last line end is a line of its own.
  void Finish() {
    if (!partial_.empty()) EndLine({});
  }

 private:
  void EndLine(std::string_view tail) {
    // Grown in large steps: each step moves every line so far, and room not
    // yet filled takes no memory.
    if (lines_.size() == lines_.capacity()) lines_.reserve(std::max<std::size_t>(lines_.capacity() * 4, 64));
    if (partial_.empty()) {
      lines_.emplace_back(tail);
      return;
    }
    partial_ += tail;
    lines_.emplace_back(partial_);
    partial_.clear();
  }

  std::vector<std::string>& lines_;
  std::string partial_;  // the start of a line whose end has not come yet
  bool afterCarriageReturn_ = false;
};

// Reads `stream` to its end into `lines`; false when a read fails.
bool ReadLines(ByteStream& stream, std::vector<std::string>& lines) {
  TLineSplitter splitter(lines);
  std::unique_ptr<char[]> buffer;
  std::size_t capacity = 0;
  for (std::size_t size = kFirstReadSize;; size = std::min(size * 2, kLargestReadSize)) {
    if (size > capacity) {
      buffer = std::make_unique_for_overwrite<char[]>(size);
      capacity = size;
    }
    const std::optional<std::size_t> delivered = stream.Read(buffer.get(), size);
    if (!delivered) return false;
    if (*delivered == 0) break;
    splitter.Feed(std::string_view(buffer.get(), std::min(*delivered, size)));
  }
  splitter.Finish();
  return true;
}

// Opens a stream with `open` and loads it; a stream that cannot be opened
// leaves the list as it was.
template <typename Open>
bool LoadOpened(TVexpickMenu& menu, Open open) {
  try {
    const std::unique_ptr<ByteStream> stream = open();
    return stream != nullptr && menu.LoadQuestionListFromStream(*stream);
  } catch (...) {
    return false;
  }
}

}  // namespace

bool TVexpickMenu::LoadQuestionListFromStream(ByteStream& stream) {
  std::vector<std::string>().swap(FQuestionList);
  try {
    if (ReadLines(stream, FQuestionList)) return true;
  } catch (...) {
    // Out of memory, or the stream failed in its own way: nothing is loaded.
  }
  std::vector<std::string>().swap(FQuestionList);
  return false;
}

bool TVexpickMenu::LoadQuestionListFromHandle(SystemHandle handle) {
  return LoadOpened(*this, [handle] { return OpenHandleStream(handle); });
}

bool TVexpickMenu::LoadQuestionListFromFile(const std::string& name) {
  return LoadOpened(*this, [&name] { return OpenFileStream(name); });
}

}  // namespace vexpick
