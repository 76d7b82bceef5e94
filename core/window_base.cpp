#include "window_base.h"

namespace selvane {
namespace {
SRWLOCK g_classRegistration = SRWLOCK_INIT;
}  // namespace

HRESULT RegisterWindowClassOnce(const WNDCLASSEXW& windowClass) noexcept {
  AcquireSRWLockExclusive(&g_classRegistration);
  WNDCLASSEXW existing{};
  existing.cbSize = sizeof existing;
  HRESULT hr = S_OK;
  if (!GetClassInfoExW(windowClass.hInstance, windowClass.lpszClassName, &existing) &&
      !RegisterClassExW(&windowClass) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
    hr = LastErrorHresult();
  ReleaseSRWLockExclusive(&g_classRegistration);
  return hr;
}

}  // namespace selvane
