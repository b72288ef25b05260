#include "menu/line_list.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace vexpick {

char* TTextBlock::MakeRoom(std::size_t count) {
  if (count > capacity_ - size_) {
    const std::size_t capacity = std::max(size_ + count, capacity_ * 2);
    char* const grown = static_cast<char*>(std::realloc(data_.get(), capacity));
    if (grown == nullptr) throw std::bad_alloc();
    (void)data_.release();
    data_.reset(grown);
    capacity_ = capacity;
  }
  return data_.get() + size_;
}

void TTextBlock::Append(std::string_view bytes) {
  if (bytes.empty()) return;
  std::memcpy(MakeRoom(bytes.size()), bytes.data(), bytes.size());
  Extend(bytes.size());
}

TLineList::TLineList(std::initializer_list<std::string_view> lines) {
  for (const std::string_view line : lines) push_back(line);
}

TLineList::TLineList(TTextBlock text) : text_(std::move(text)) {
  const std::string_view all = text_.View();
  constexpr std::size_t kNone = std::string_view::npos;
  // memchr for each kind of line end, each searched again only once passed.
  std::size_t nextCarriageReturn = all.find('\r');
  std::size_t nextLineFeed = all.find('\n');
  for (std::size_t start = 0; start < all.size(); start = StartOf(size())) {
    if (nextCarriageReturn < start) nextCarriageReturn = all.find('\r', start);
    if (nextLineFeed < start) nextLineFeed = all.find('\n', start);
    const std::size_t end = std::min(nextCarriageReturn, nextLineFeed);
    ends_.push_back(end == kNone ? all.size() : end);
  }
}

std::string_view TLineList::operator[](std::size_t index) const {
  const std::size_t start = StartOf(index);
  return text_.View().substr(start, ends_[index] - start);
}

// Where line `index` starts: after the line end of the line before it.
std::size_t TLineList::StartOf(std::size_t index) const {
  if (index == 0) return 0;
  const std::string_view text = text_.View();
  const std::size_t end = ends_[index - 1];
  const bool crLf = end + 1 < text.size() && text[end] == '\r' && text[end + 1] == '\n';
  return end + (crLf ? 2 : 1);
}

void TLineList::push_back(std::string_view line) {
  if (!empty() && ends_.back() == text_.View().size()) text_.Append("\n");
  text_.Append(line);
  ends_.push_back(text_.View().size());
}

void TLineList::clear() { *this = TLineList(); }

}  // namespace vexpick
