#pragma once
#include <windows.h>

namespace selvane {

// GetLastError as an HRESULT; E_FAIL when the system gave no reason.
inline HRESULT LastErrorHresult() noexcept {
  const DWORD error = GetLastError();
  return error ? HRESULT_FROM_WIN32(error) : E_FAIL;
}

}  // namespace selvane
