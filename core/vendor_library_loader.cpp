#include "vendor_library_loader.h"

#include "floating_point_control.h"
#include "module_lifetime.h"

namespace selvane {
namespace {

// `folder` (up to its trailing backslash) followed by `fileName`.
bool JoinFolder(std::wstring_view path, const wchar_t* fileName, HeapText& joined) noexcept {
  const std::size_t folder = FolderLength(path);
  return folder > 0 && joined.Append({path.data(), folder}) && joined.Append(fileName);
}

bool OwnFolderFile(const wchar_t* fileName, HeapText& joined) noexcept {
  HeapText own;
  return SUCCEEDED(ModuleFileName(ThisModule(), own)) && JoinFolder(own.view(), fileName, joined);
}

bool ApplicationFolderFile(const wchar_t* fileName, HeapText& joined) noexcept {
  HeapText application;
  return SUCCEEDED(ModuleFileName(nullptr, application)) && JoinFolder(application.view(), fileName, joined);
}

bool SystemFolderFile(const wchar_t* fileName, HeapText& joined) noexcept {
  wchar_t system[MAX_PATH + 1];
  const UINT n = GetSystemDirectoryW(system, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return false;
  return joined.Append({system, n}) && joined.Append(L"\\") && joined.Append(fileName);
}

// The places by full path, for loaders without the search flags. The
// library's own dependencies are then looked for beside it first.
HMODULE LoadByFullPaths(const wchar_t* fileName, LoadLibraryExFunction load) noexcept {
  using Place = bool (*)(const wchar_t*, HeapText&);
  for (Place place : {Place{&OwnFolderFile}, Place{&ApplicationFolderFile}, Place{&SystemFolderFile}}) {
    HeapText path;
    if (!place(fileName, path)) continue;
    if (HMODULE m = load(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH)) return m;
  }
  return nullptr;
}

HMODULE LoadFromSafePlaces(const wchar_t* fileName, LoadLibraryExFunction load) noexcept {
  HeapText own;
  if (OwnFolderFile(fileName, own)) {
    // The vendor library's own dependencies come from its folder or the system.
    if (HMODULE m = load(own.c_str(), nullptr, LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_DEFAULT_DIRS))
      return m;
    if (GetLastError() == ERROR_INVALID_PARAMETER) return LoadByFullPaths(fileName, load);
  }
  if (HMODULE m = load(fileName, nullptr, LOAD_LIBRARY_SEARCH_DEFAULT_DIRS)) return m;
  if (GetLastError() == ERROR_INVALID_PARAMETER) return LoadByFullPaths(fileName, load);
  return nullptr;
}

}  // namespace

HMODULE LoadVendorLibrary(const wchar_t* fileName, LoadLibraryExFunction load) noexcept {
  // A library built with Delphi sets its own floating-point control word in
  // DllMain, which would leave the host with unmasked exceptions.
  const FloatingPointControl floatingPoint = SaveFloatingPointControl();
  HMODULE library = LoadFromSafePlaces(fileName, load);
  RestoreFloatingPointControl(floatingPoint);
  return library;
}

}  // namespace selvane
