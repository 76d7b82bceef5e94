#pragma once
#include <windows.h>

namespace selvane {

// LoadLibraryExW's shape, so that a test can stand in for the system's loader.
using LoadLibraryExFunction = HMODULE(WINAPI*)(LPCWSTR, HANDLE, DWORD);

// Loads a vendor library by file name from the safe places only, in order:
//   1. the folder of the module that holds this code (the plug-in DLL), by full path;
//   2. the application's folder, then the system folder.
// The current directory and PATH are never searched. Windows 7 without
// KB2533623 refuses the LOAD_LIBRARY_SEARCH_* flags; there every place is
// loaded by full path with LOAD_WITH_ALTERED_SEARCH_PATH instead.
// Returns nullptr if not found.
HMODULE LoadVendorLibrary(const wchar_t* fileName, LoadLibraryExFunction load = &LoadLibraryExW) noexcept;

}  // namespace selvane
