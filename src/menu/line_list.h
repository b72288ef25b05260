// A list of text lines kept in one block: the question lines of a large file
// cost one string and one offset per line, not a string per line.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <initializer_list>
#include <iterator>
#include <memory>
#include <string_view>
#include <vector>

namespace vexpick {

// Bytes in one block of memory that grows as bytes arrive. A large block
// grows by realloc, which moves its pages instead of copying them, so there
// are never two copies of the bytes, and room not yet filled takes no memory.
class TTextBlock {
 public:
  [[nodiscard]] std::string_view View() const { return {data_.get(), size_}; }
  // Room for `count` more bytes at the end, for the caller to fill and then
  // add with Extend.
  char* MakeRoom(std::size_t count);
  void Extend(std::size_t count) { size_ += count; }
  void Append(std::string_view bytes);

 private:
  struct TFree {
    void operator()(char* block) const { std::free(block); }
  };
  std::unique_ptr<char, TFree> data_;
  std::size_t size_ = 0;
  std::size_t capacity_ = 0;
};

class TLineList {
 public:
  class const_iterator {
   public:
    using iterator_category = std::forward_iterator_tag;
    using value_type = std::string_view;
    using difference_type = std::ptrdiff_t;
    using pointer = void;
    using reference = std::string_view;

    const_iterator() = default;
    const_iterator(const TLineList& list, std::size_t index) : list_(&list), index_(index) {}
    std::string_view operator*() const { return (*list_)[index_]; }
    const_iterator& operator++() {
      ++index_;
      return *this;
    }
    const_iterator operator++(int) {
      const const_iterator before = *this;
      ++index_;
      return before;
    }
    bool operator==(const const_iterator& other) const { return index_ == other.index_; }

   private:
    const TLineList* list_ = nullptr;
    std::size_t index_ = 0;
  };

  TLineList() = default;
  TLineList(std::initializer_list<std::string_view> lines);
  // The lines of `text`, each ended by CR, LF or CR LF; empty lines count,
  // and so does text after the last line end. The text is kept as it is.
  explicit TLineList(TTextBlock text);

  [[nodiscard]] std::size_t size() const { return ends_.size(); }
  [[nodiscard]] bool empty() const { return ends_.empty(); }
  [[nodiscard]] std::string_view operator[](std::size_t index) const;
  [[nodiscard]] const_iterator begin() const { return {*this, 0}; }
  [[nodiscard]] const_iterator end() const { return {*this, size()}; }

  // Adds a line that holds no line end.
  void push_back(std::string_view line);
  // Empties the list and gives its memory back.
  void clear();

 private:
  [[nodiscard]] std::size_t StartOf(std::size_t index) const;

  TTextBlock text_;
  std::vector<std::size_t> ends_;  // each line's end: its line end, or the end of the text
};

}  // namespace vexpick
