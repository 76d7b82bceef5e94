#include "module_lifetime.h"

#include <atomic>

#include "last_error.h"

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace selvane {
namespace {

// The longest path the system hands out, in characters.
constexpr std::size_t kMaxPathLength = 32767;

std::atomic<long> g_moduleCount{0};
std::atomic<long> g_liveWindows{0};
std::atomic<bool> g_pinned{false};

void PinModuleOnce() noexcept {
  if (g_pinned.exchange(true)) return;
  HMODULE pinned = nullptr;
  if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_PIN | GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                          reinterpret_cast<LPCWSTR>(&__ImageBase), &pinned)) {
    g_pinned = false;  // try again with the next window
  }
}

}  // namespace

HMODULE ThisModule() noexcept { return reinterpret_cast<HMODULE>(&__ImageBase); }

HRESULT ModuleFileName(HMODULE module, HeapText& path) noexcept {
  for (std::size_t capacity = MAX_PATH; capacity <= kMaxPathLength + 1; capacity *= 2) {
    if (!path.Reserve(capacity)) return E_OUTOFMEMORY;
    const DWORD room = static_cast<DWORD>(path.Capacity());
    const DWORD n = GetModuleFileNameW(module, path.Buffer(), room);
    if (n == 0) return LastErrorHresult();
    if (n < room - 1) {
      path.SetLength(n);
      return S_OK;
    }
  }
  return HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);
}

std::size_t FolderLength(std::wstring_view path) noexcept {
  const std::size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring_view::npos ? 0 : slash + 1;
}

void ModuleAddRef() noexcept { g_moduleCount.fetch_add(1); }
long ModuleRelease() noexcept { return g_moduleCount.fetch_sub(1) - 1; }
long ModuleCount() noexcept { return g_moduleCount.load(); }

void NoteWindowCreated() noexcept {
  PinModuleOnce();
  g_liveWindows.fetch_add(1);
  ModuleAddRef();
}

void NoteWindowDestroyed() noexcept {
  g_liveWindows.fetch_sub(1);
  ModuleRelease();
}

long LiveWindowCount() noexcept { return g_liveWindows.load(); }

}  // namespace selvane
