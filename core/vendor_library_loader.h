#pragma once
#include <windows.h>

namespace selvane {

// Loads a vendor library by file name from the safe places only, in order:
//   1. the folder of the module that holds this code (the plug-in DLL), by full path;
//   2. the application's folder and the system folder (LOAD_LIBRARY_SEARCH_DEFAULT_DIRS).
// The current directory and PATH are never searched. Returns nullptr if not found.
HMODULE LoadVendorLibrary(const wchar_t* fileName) noexcept;

}  // namespace selvane
