// A string that holds up to N characters inside itself and goes to the heap only when it is
// longer. An item's titles, icon path and texts are short, and a menu has a thousand of them:
// read as standard strings (whose own buffer holds 7 UTF-16 units or 15 bytes), each took an
// allocation to build and another call to free, which was most of the cost of opening and
// closing a menu.
//
// It behaves as a value like std::basic_string: copies are deep, a moved-from string is
// empty. It reads as a std::basic_string_view, which is how most code takes it. The text is
// not NUL-terminated.
#pragma once

#include <algorithm>
#include <compare>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

namespace trellune {

template <typename CharT, std::size_t N>
class InlineString {
  static_assert(N >= 8 && N < 0x10000, "the inline capacity must fit the 32-bit fields");

 public:
  using value_type = CharT;
  using size_type = std::size_t;
  using iterator = CharT*;
  using const_iterator = const CharT*;
  using view_type = std::basic_string_view<CharT>;
  static constexpr size_type npos = size_type(-1);
  static constexpr size_type kInlineCapacity = N;

  InlineString() noexcept {}
  InlineString(view_type s) { Assign(s.data(), s.size()); }
  InlineString(const CharT* s) : InlineString(view_type(s)) {}
  InlineString(const std::basic_string<CharT>& s) : InlineString(view_type(s)) {}
  InlineString(const CharT* s, size_type n) { Assign(s, n); }
  InlineString(size_type n, CharT c) { resize(n, c); }
  InlineString(const InlineString& other) { Assign(other.data(), other.size()); }
  InlineString(InlineString&& other) noexcept { Take(other); }
  ~InlineString() { Release(); }

  InlineString& operator=(const InlineString& other) {
    if (this != &other) Assign(other.data(), other.size());
    return *this;
  }
  InlineString& operator=(InlineString&& other) noexcept {
    if (this != &other) {
      Release();
      Take(other);
    }
    return *this;
  }
  InlineString& operator=(view_type s) {
    Assign(s.data(), s.size());
    return *this;
  }
  InlineString& operator=(const CharT* s) { return *this = view_type(s); }
  InlineString& operator=(const std::basic_string<CharT>& s) { return *this = view_type(s); }
  InlineString& assign(const CharT* s, size_type n) {
    Assign(s, n);
    return *this;
  }

  size_type size() const noexcept { return size_; }
  bool empty() const noexcept { return size_ == 0; }
  size_type capacity() const noexcept { return capacity_ ? capacity_ : N; }
  // Whether the text lives inside the object (no allocation).
  bool IsInline() const noexcept { return capacity_ == 0; }

  CharT* data() noexcept { return capacity_ ? heap_ : inline_; }
  const CharT* data() const noexcept { return capacity_ ? heap_ : inline_; }
  iterator begin() noexcept { return data(); }
  iterator end() noexcept { return data() + size_; }
  const_iterator begin() const noexcept { return data(); }
  const_iterator end() const noexcept { return data() + size_; }
  CharT& operator[](size_type i) noexcept { return data()[i]; }
  const CharT& operator[](size_type i) const noexcept { return data()[i]; }
  CharT& back() noexcept { return data()[size_ - 1]; }

  operator view_type() const noexcept { return view_type(data(), size_); }
  view_type view() const noexcept { return *this; }
  std::basic_string<CharT> str() const { return std::basic_string<CharT>(data(), size_); }

  void clear() noexcept { size_ = 0; }
  void reserve(size_type n) {
    if (n > capacity()) Grow(n, false);
  }
  // New characters are set to c.
  void resize(size_type n, CharT c = CharT()) {
    if (n > size_) {
      reserve(n);
      std::fill(data() + size_, data() + n, c);
    }
    size_ = std::uint32_t(n);
  }
  // Sets the size without writing the new characters, which the caller fills next.
  CharT* ResizeForOverwrite(size_type n) {
    if (n > capacity()) Grow(n, true);
    size_ = std::uint32_t(n);
    return data();
  }
  void push_back(CharT c) {
    if (size_ == capacity()) Grow(size_ + 1, false);
    data()[size_++] = c;
  }
  InlineString& append(view_type s) {
    const size_type old = size_;
    if (old + s.size() > capacity()) {
      // s may be part of this string: keep the old buffer until it is copied.
      InlineString grown;
      grown.ResizeForOverwrite(old + s.size());
      Copy(grown.data(), data(), old);
      Copy(grown.data() + old, s.data(), s.size());
      *this = std::move(grown);
    } else {
      Move(data() + old, s.data(), s.size());
      size_ = std::uint32_t(old + s.size());
    }
    return *this;
  }
  InlineString& operator+=(view_type s) { return append(s); }
  InlineString& operator+=(const CharT* s) { return append(view_type(s)); }
  InlineString& operator+=(CharT c) {
    push_back(c);
    return *this;
  }

  size_type find(CharT c, size_type pos = 0) const noexcept { return view().find(c, pos); }
  size_type find(view_type s, size_type pos = 0) const noexcept { return view().find(s, pos); }
  view_type substr(size_type pos, size_type n = npos) const { return view().substr(pos, n); }

  friend bool operator==(const InlineString& a, const InlineString& b) noexcept {
    return a.view() == b.view();
  }
  friend bool operator==(const InlineString& a, view_type b) noexcept { return a.view() == b; }
  friend bool operator==(const InlineString& a, const CharT* b) noexcept {
    return a.view() == view_type(b);
  }
  friend bool operator==(const InlineString& a, const std::basic_string<CharT>& b) noexcept {
    return a.view() == view_type(b);
  }
  friend auto operator<=>(const InlineString& a, const InlineString& b) noexcept {
    return a.view() <=> b.view();
  }

 private:
  static void Copy(CharT* to, const CharT* from, size_type n) noexcept {
    if (n) std::memcpy(to, from, n * sizeof(CharT));
  }
  static void Move(CharT* to, const CharT* from, size_type n) noexcept {
    if (n) std::memmove(to, from, n * sizeof(CharT));
  }

  void Assign(const CharT* s, size_type n) {
    if (n > capacity()) return AssignLong(s, n);
    Move(data(), s, n);
    size_ = std::uint32_t(n);
  }

  // Out of line: the rare long case would only bloat every assignment it is inlined into.
  [[gnu::noinline]] void AssignLong(const CharT* s, size_type n) {
    // s may point into this string: copy before the old buffer goes.
    CharT* fresh = std::allocator<CharT>().allocate(n);
    Copy(fresh, s, n);
    Release();
    heap_ = fresh;
    capacity_ = std::uint32_t(n);
    size_ = std::uint32_t(n);
  }

  // Room for at least n characters, keeping the current ones unless they are to be
  // overwritten anyway.
  [[gnu::noinline]] void Grow(size_type n, bool discard) {
    const size_type want = std::max(n, 2 * capacity());
    CharT* fresh = std::allocator<CharT>().allocate(want);
    if (!discard) Copy(fresh, data(), size_);
    Release();
    heap_ = fresh;
    capacity_ = std::uint32_t(want);
  }

  void Release() noexcept {
    if (capacity_) std::allocator<CharT>().deallocate(heap_, capacity_);
    capacity_ = 0;
  }

  void Take(InlineString& other) noexcept {
    if (other.capacity_) {
      heap_ = other.heap_;
      capacity_ = other.capacity_;
      other.capacity_ = 0;
    } else {
      Copy(inline_, other.inline_, other.size_);
    }
    size_ = other.size_;
    other.size_ = 0;
  }

  union {
    CharT inline_[N];
    CharT* heap_;
  };
  std::uint32_t size_ = 0;
  std::uint32_t capacity_ = 0;  // of the heap buffer; 0 while the text is inline
};

}  // namespace trellune
