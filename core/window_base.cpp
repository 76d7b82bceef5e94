#include "window_base.h"

#include "srw_lock_guard.h"

namespace selvane {
namespace {
SRWLOCK g_classRegistration = SRWLOCK_INIT;
}  // namespace

HRESULT RegisterWindowClassOnce(const WNDCLASSEXW& windowClass) noexcept {
  srw_lock_guard guard(g_classRegistration);
  WNDCLASSEXW existing{};
  existing.cbSize = sizeof existing;
  if (!GetClassInfoExW(windowClass.hInstance, windowClass.lpszClassName, &existing) &&
      !RegisterClassExW(&windowClass) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
    return LastErrorHresult();
  return S_OK;
}

}  // namespace selvane
