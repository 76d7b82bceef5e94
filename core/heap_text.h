#pragma once
#include <windows.h>

#include <cstddef>
#include <string_view>

#include "unique_any.h"

namespace selvane {

// Text of run-time length in a block of the process heap, always terminated.
// The DLL keeps the C++ library's allocating containers out: they throw, and
// their exception runtime costs a TLS slot and heap on every unload. Every
// operation that allocates says whether it could.
class HeapText {
 public:
  HeapText() noexcept = default;

  [[nodiscard]] bool Append(std::wstring_view text) noexcept {
    if (!Reserve(length_ + text.size())) return false;
    wchar_t* chars = Chars();
    for (std::size_t i = 0; i < text.size(); ++i) chars[length_ + i] = text[i];
    length_ += text.size();
    chars[length_] = L'\0';
    return true;
  }
  // Room for `length` characters and the terminator.
  [[nodiscard]] bool Reserve(std::size_t length) noexcept {
    if (length < capacity_) return true;
    std::size_t capacity = capacity_ ? capacity_ : 64;
    while (capacity <= length) capacity *= 2;
    void* grown = block_ ? HeapReAlloc(GetProcessHeap(), 0, block_.get(), capacity * sizeof(wchar_t))
                         : HeapAlloc(GetProcessHeap(), 0, capacity * sizeof(wchar_t));
    if (!grown) return false;
    static_cast<void>(block_.release());
    block_.reset(grown);
    capacity_ = capacity;
    Chars()[length_] = L'\0';
    return true;
  }
  // For a function that writes into the buffer: sets the length it wrote.
  wchar_t* Buffer() noexcept { return Chars(); }
  std::size_t Capacity() const noexcept { return capacity_; }
  void SetLength(std::size_t length) noexcept {
    length_ = length < capacity_ ? length : 0;
    if (capacity_) Chars()[length_] = L'\0';
  }

  const wchar_t* c_str() const noexcept { return capacity_ ? static_cast<const wchar_t*>(block_.get()) : L""; }
  std::wstring_view view() const noexcept { return {c_str(), length_}; }
  std::size_t size() const noexcept { return length_; }

 private:
  wchar_t* Chars() noexcept { return static_cast<wchar_t*>(block_.get()); }

  unique_process_heap block_;
  std::size_t capacity_ = 0;
  std::size_t length_ = 0;
};

}  // namespace selvane
