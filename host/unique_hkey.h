#pragma once
#include <windows.h>

namespace selvane {

// Owns one open registry key.
class UniqueHkey {
 public:
  UniqueHkey() = default;
  explicit UniqueHkey(HKEY key) : key_(key) {}
  ~UniqueHkey() { Close(); }
  UniqueHkey(UniqueHkey&& other) noexcept : key_(other.key_) { other.key_ = nullptr; }
  UniqueHkey& operator=(UniqueHkey&& other) noexcept {
    if (this != &other) {
      Close();
      key_ = other.key_;
      other.key_ = nullptr;
    }
    return *this;
  }
  UniqueHkey(const UniqueHkey&) = delete;
  UniqueHkey& operator=(const UniqueHkey&) = delete;

  HKEY Get() const { return key_; }
  // For the Reg*Ex functions that fill in a key.
  HKEY* Out() {
    Close();
    return &key_;
  }
  explicit operator bool() const { return key_ != nullptr; }

 private:
  void Close() {
    if (key_) RegCloseKey(key_);
    key_ = nullptr;
  }
  HKEY key_ = nullptr;
};

}  // namespace selvane
