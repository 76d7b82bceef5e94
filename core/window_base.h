#pragma once
#include <windows.h>

#include "last_error.h"
#include "module_lifetime.h"

namespace selvane {

// Registers a window class of this module once per process. Threads creating
// their first window at once are serialised: one could otherwise see the
// class as existing before it can be used.
HRESULT RegisterWindowClassOnce(const WNDCLASSEXW& windowClass) noexcept;

// The window procedure of every window of the library, written once. T gives
//   static constexpr const wchar_t* kClassName;
//   static void DescribeClass(WNDCLASSEXW&);      // what differs from the defaults
//   static LRESULT DefaultProc(HWND, UINT, WPARAM, LPARAM);
//   LRESULT HandleMessage(UINT, WPARAM, LPARAM);  // DefaultProc for the rest
// Every window counts in the module count while it exists.
template <typename T>
class WindowBase {
 public:
  HWND Window() const noexcept { return hwnd_; }

 protected:
  WindowBase() = default;
  // The window's last messages still reach the derived object, so every
  // derived destructor calls DestroyOwnWindow itself.
  ~WindowBase() = default;
  void DestroyOwnWindow() noexcept {
    if (hwnd_ && IsWindow(hwnd_)) DestroyWindow(hwnd_);
  }
  WindowBase(const WindowBase&) = delete;
  WindowBase& operator=(const WindowBase&) = delete;

  HRESULT CreateWindowOfClass(DWORD exStyle, const wchar_t* caption, DWORD style, int x, int y, int width,
                              int height, HWND parent) noexcept {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = &WindowBase::WindowProc;
    windowClass.hInstance = ThisModule();
    windowClass.lpszClassName = T::kClassName;
    T::DescribeClass(windowClass);
    if (HRESULT hr = RegisterWindowClassOnce(windowClass); FAILED(hr)) return hr;
    if (!CreateWindowExW(exStyle, T::kClassName, caption, style, x, y, width, height, parent, nullptr,
                         ThisModule(), static_cast<T*>(this)))
      return LastErrorHresult();
    return S_OK;
  }

  HWND hwnd_ = nullptr;

 private:
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    T* self = nullptr;
    if (message == WM_NCCREATE) {
      self = static_cast<T*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
      self->hwnd_ = hwnd;
      SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
      NoteWindowCreated();
    } else {
      self = reinterpret_cast<T*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    }
    if (!self) return T::DefaultProc(hwnd, message, wParam, lParam);
    if (message != WM_NCDESTROY) return self->HandleMessage(message, wParam, lParam);
    const LRESULT result = self->HandleMessage(message, wParam, lParam);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    self->hwnd_ = nullptr;
    NoteWindowDestroyed();
    return result;
  }
};

}  // namespace selvane
