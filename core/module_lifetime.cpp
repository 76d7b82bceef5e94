#include "module_lifetime.h"

#include <atomic>

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace selvane {
namespace {

std::atomic<long> g_liveWindows{0};
std::atomic<bool> g_pinned{false};

void PinModuleOnce() {
  if (g_pinned.exchange(true)) return;
  HMODULE pinned = nullptr;
  if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_PIN | GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                          reinterpret_cast<LPCWSTR>(&__ImageBase), &pinned)) {
    g_pinned = false;  // try again with the next window
  }
}

}  // namespace

HMODULE ThisModule() { return reinterpret_cast<HMODULE>(&__ImageBase); }

std::wstring ThisModulePath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(ThisModule(), path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) return {};
    if (n < path.size()) {
      path.resize(n);
      return path;
    }
    if (path.size() >= 32768) return {};
    path.resize(path.size() * 2);
  }
}

void NoteWindowCreated() {
  PinModuleOnce();
  g_liveWindows.fetch_add(1);
}

void NoteWindowDestroyed() { g_liveWindows.fetch_sub(1); }

long LiveWindowCount() { return g_liveWindows.load(); }

std::mutex& ClassRegistrationLock() {
  static std::mutex lock;
  return lock;
}

}  // namespace selvane
