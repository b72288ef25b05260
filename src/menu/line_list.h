// A list of text lines kept in one block: the question lines of a large file
// cost one string and one offset per line, not a string per line.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

namespace vexpick {

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
  explicit TLineList(std::string text);

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

  std::string text_;
  std::vector<std::size_t> ends_;  // each line's end: its line end, or the end of the text
};

}  // namespace vexpick
