#include "disabled_thread_windows.h"

#include <new>

namespace selvane {
namespace {

struct Visit {
  HWND modal;
  HWND* out;  // nullptr while counting
  std::size_t capacity;
  std::size_t count;
};

BOOL CALLBACK VisitWindow(HWND hwnd, LPARAM param) {
  auto* visit = reinterpret_cast<Visit*>(param);
  if (hwnd == visit->modal || !IsWindowVisible(hwnd) || !IsWindowEnabled(hwnd)) return TRUE;
  if (visit->out) {
    if (visit->count == visit->capacity) return FALSE;
    visit->out[visit->count] = hwnd;
  }
  ++visit->count;
  return TRUE;
}

}  // namespace

HRESULT DisabledThreadWindows::DisableAllExcept(HWND modal) noexcept {
  Reenable();
  const DWORD thread = GetCurrentThreadId();
  Visit counting{modal, nullptr, 0, 0};
  EnumThreadWindows(thread, &VisitWindow, reinterpret_cast<LPARAM>(&counting));
  if (counting.count == 0) return S_OK;

  std::unique_ptr<HWND[]> windows(new (std::nothrow) HWND[counting.count]);
  if (!windows) return E_OUTOFMEMORY;
  Visit collecting{modal, windows.get(), counting.count, 0};
  EnumThreadWindows(thread, &VisitWindow, reinterpret_cast<LPARAM>(&collecting));

  // Collected first, disabled afterwards: disabling moves activation around.
  for (std::size_t i = 0; i < collecting.count; ++i) EnableWindow(windows[i], FALSE);
  windows_ = std::move(windows);
  count_ = collecting.count;
  return S_OK;
}

void DisabledThreadWindows::Reenable() noexcept {
  const DWORD thread = GetCurrentThreadId();
  for (std::size_t i = 0; i < count_; ++i) {
    HWND hwnd = windows_[i];
    // A window destroyed meanwhile is skipped, as is a recycled handle.
    if (IsWindow(hwnd) && GetWindowThreadProcessId(hwnd, nullptr) == thread) EnableWindow(hwnd, TRUE);
  }
  windows_.reset();
  count_ = 0;
}

}  // namespace selvane
