#include "vendor_library_loader.h"

#include <string>

#include "module_lifetime.h"

namespace selvane {
namespace {

// Full path of the folder holding this module, with a trailing backslash.
std::wstring ThisModuleFolder() {
  const std::wstring path = ThisModulePath();
  const auto slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? std::wstring{} : path.substr(0, slash + 1);
}

}  // namespace

HMODULE LoadVendorLibrary(const wchar_t* fileName) noexcept {
  try {
    const std::wstring folder = ThisModuleFolder();
    if (!folder.empty()) {
      const std::wstring fullPath = folder + fileName;
      // The vendor library's own dependencies come from its folder or the system.
      if (HMODULE m = LoadLibraryExW(fullPath.c_str(), nullptr,
                                     LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_DEFAULT_DIRS))
        return m;
    }
  } catch (...) {
    // Out of memory for the path: fall through to the default directories.
  }
  return LoadLibraryExW(fileName, nullptr, LOAD_LIBRARY_SEARCH_DEFAULT_DIRS);
}

}  // namespace selvane
