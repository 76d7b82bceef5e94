// Shows the "Konfiguration" dialog for a screenshot. Prints the dialog's
// window rectangle once it is visible ("dialog left top right bottom"), keeps
// it open for a while, then closes it.
// Usage: show_frm_config [ChannelCount [hold ms]]
#include <windows.h>

#include <cstdio>
#include <cwchar>

#include "frm_config.h"
#include "mod_main.h"
#include "own_dialog.h"

namespace {

constexpr ULONGLONG kGiveUpMs = 20000;
ULONGLONG g_started = 0;
ULONGLONG g_openedAt = 0;
DWORD g_holdMs = 3000;

void CALLBACK OnTimer(HWND, UINT, UINT_PTR, DWORD) {
  const ULONGLONG now = GetTickCount64();
  HWND dialog = FindOwnDialog();
  if (dialog && !g_openedAt) {
    g_openedAt = now;
    RECT r{};
    GetWindowRect(dialog, &r);
    std::printf("dialog %ld %ld %ld %ld\n", r.left, r.top, r.right, r.bottom);
    std::fflush(stdout);
  }
  const bool held = g_openedAt && now - g_openedAt >= g_holdMs;
  if (dialog && (held || now - g_started >= kGiveUpMs)) PostMessageW(dialog, WM_CLOSE, 0, 0);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  selvane::ThreadState thread;
  thread.state.ChannelCount = argc > 1 ? static_cast<int32_t>(std::wcstol(argv[1], nullptr, 10)) : 510;
  if (argc > 2) g_holdMs = static_cast<DWORD>(std::wcstoul(argv[2], nullptr, 10));
  g_started = GetTickCount64();
  const UINT_PTR timer = SetTimer(nullptr, 0, 50, &OnTimer);
  const HRESULT hr = selvane::ShowFrmConfig(thread);
  KillTimer(nullptr, timer);
  std::printf("closed hr=0x%08lx ChannelCount=%ld\n", static_cast<unsigned long>(hr),
              static_cast<long>(thread.state.ChannelCount));
  return SUCCEEDED(hr) && g_openedAt ? 0 : 1;
}
