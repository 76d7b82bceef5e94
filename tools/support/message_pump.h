#pragma once
// The calling thread's message loop, run as a host runs it.
#include <windows.h>

#include <functional>

// Runs the loop for a while or until a condition holds (checked whenever the
// queue is empty, and at least every `pollMs`). Returns whether the condition held.
inline bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs, DWORD pollMs = INFINITE) {
  const ULONGLONG deadline = GetTickCount64() + timeoutMs;
  for (;;) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    if (done && done()) return true;
    const ULONGLONG now = GetTickCount64();
    if (now >= deadline) return false;
    const DWORD left = static_cast<DWORD>(deadline - now);
    MsgWaitForMultipleObjects(0, nullptr, FALSE, left < pollMs ? left : pollMs, QS_ALLINPUT);
  }
}

inline void PumpFor(DWORD ms) { PumpUntil(nullptr, ms); }

// Runs the loop for `ms`, checking the time after every message: when a timer
// message is always due (a vendor slower than the period), the queue never
// drains and PumpFor would not return.
inline void PumpEachMessageFor(DWORD ms) {
  const ULONGLONG deadline = GetTickCount64() + ms;
  for (ULONGLONG now = GetTickCount64(); now < deadline; now = GetTickCount64()) {
    MSG msg;
    if (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    } else {
      MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(deadline - now), QS_ALLINPUT);
    }
  }
}
