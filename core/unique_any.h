#pragma once
// One owner for every kind of handle the library frees, in the shape of WIL's
// unique_any: get(), put(), reset(), release(), addressof(). WIL itself does
// not build with this toolchain; the names are its names.
#include <windows.h>
#include <oleauto.h>

namespace selvane {

template <typename T, auto Close, T Invalid = T{}>
class unique_any {
 public:
  unique_any() noexcept = default;
  explicit unique_any(T value) noexcept : value_(value) {}
  ~unique_any() { reset(); }
  unique_any(unique_any&& other) noexcept : value_(other.release()) {}
  unique_any& operator=(unique_any&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  unique_any(const unique_any&) = delete;
  unique_any& operator=(const unique_any&) = delete;

  T get() const noexcept { return value_; }
  explicit operator bool() const noexcept { return value_ != Invalid; }
  // Frees what is held, for a function that fills in a new one.
  T* put() noexcept {
    reset();
    return &value_;
  }
  T* addressof() noexcept { return &value_; }
  void reset(T value = Invalid) noexcept {
    if (value_ != Invalid) Close(value_);
    value_ = value;
  }
  [[nodiscard]] T release() noexcept {
    T value = value_;
    value_ = Invalid;
    return value;
  }

 private:
  T value_ = Invalid;
};

namespace unique_any_close {
inline void DeleteFont(HFONT font) noexcept { DeleteObject(font); }
inline void FreeHeap(void* block) noexcept { HeapFree(GetProcessHeap(), 0, block); }
inline void FreeLocal(wchar_t* text) noexcept { LocalFree(text); }
}  // namespace unique_any_close

using unique_hkey = unique_any<HKEY, &RegCloseKey>;
using unique_bstr = unique_any<BSTR, &SysFreeString>;
using unique_hfont = unique_any<HFONT, &unique_any_close::DeleteFont>;
using unique_hmodule = unique_any<HMODULE, &FreeLibrary>;
using unique_handle = unique_any<HANDLE, &CloseHandle>;
// A string the system allocated with LocalAlloc (ConvertSidToStringSidW, FormatMessageW).
using unique_hlocal_string = unique_any<wchar_t*, &unique_any_close::FreeLocal>;
// A block of the process heap (HeapAlloc), for buffers sized at run time.
using unique_process_heap = unique_any<void*, &unique_any_close::FreeHeap>;

}  // namespace selvane
