#pragma once
#include <windows.h>
#include <oleauto.h>

#include <string_view>

namespace selvane {

// Owns one BSTR.
class UniqueBstr {
 public:
  UniqueBstr() = default;
  explicit UniqueBstr(std::wstring_view text)
      : bstr_(SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {}
  ~UniqueBstr() { SysFreeString(bstr_); }
  UniqueBstr(UniqueBstr&& other) noexcept : bstr_(other.Release()) {}
  UniqueBstr& operator=(UniqueBstr&& other) noexcept {
    if (this != &other) {
      SysFreeString(bstr_);
      bstr_ = other.Release();
    }
    return *this;
  }
  UniqueBstr(const UniqueBstr&) = delete;
  UniqueBstr& operator=(const UniqueBstr&) = delete;

  BSTR Get() const { return bstr_; }
  BSTR* Out() {
    SysFreeString(bstr_);
    bstr_ = nullptr;
    return &bstr_;
  }
  BSTR Release() {
    BSTR b = bstr_;
    bstr_ = nullptr;
    return b;
  }

 private:
  BSTR bstr_ = nullptr;
};

// The text of a BSTR, embedded NULs included; a NULL BSTR is the empty text.
inline std::wstring_view BstrText(BSTR b) {
  return b ? std::wstring_view(b, SysStringLen(b)) : std::wstring_view{};
}

}  // namespace selvane
