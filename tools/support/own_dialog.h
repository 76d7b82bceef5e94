#pragma once
#include <windows.h>

// The visible "Konfiguration" dialog of this process, if any.
inline HWND FindOwnDialog() {
  HWND hwnd = nullptr;
  while ((hwnd = FindWindowExW(nullptr, hwnd, nullptr, L"Konfiguration"))) {
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid == GetCurrentProcessId() && IsWindowVisible(hwnd)) return hwnd;
  }
  return nullptr;
}
