// The question lines: read from a stream, a handle or a file and split into
// lines at CR, LF or CR LF.
//
// The bytes are read into one block that becomes the list's text, and the
// lines are split in place: no byte is copied once it has been read.
#include <algorithm>
#include <memory>

#include "menu/menu.h"

namespace vexpick {
namespace {

constexpr std::size_t kFirstReadSize = 1024;
// Reads double in size up to here: large enough for few reads of a big file,
// small enough that a long pipe never asks for an impossible buffer.
constexpr std::size_t kLargestReadSize = std::size_t{1} << 20;

// Reads `stream` to its end; nothing when a read fails.
std::optional<TTextBlock> ReadAll(ByteStream& stream) {
  TTextBlock data;
  for (std::size_t size = kFirstReadSize;; size = std::min(size * 2, kLargestReadSize)) {
    const std::optional<std::size_t> delivered = stream.Read(data.MakeRoom(size), size);
    if (!delivered) return std::nullopt;
    if (*delivered == 0) return data;
    data.Extend(std::min(*delivered, size));
  }
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
  FQuestionList.clear();
  try {
    std::optional<TTextBlock> data = ReadAll(stream);
    if (!data) return false;
    FQuestionList = TLineList(std::move(*data));
    return true;
  } catch (...) {
    // Out of memory, or the stream failed in its own way: nothing is loaded.
    return false;
  }
}

bool TVexpickMenu::LoadQuestionListFromHandle(SystemHandle handle) {
  return LoadOpened(*this, [handle] { return OpenHandleStream(handle); });
}

bool TVexpickMenu::LoadQuestionListFromFile(const std::string& name) {
  return LoadOpened(*this, [&name] { return OpenFileStream(name); });
}

}  // namespace vexpick
