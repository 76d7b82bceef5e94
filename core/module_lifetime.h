#pragma once
#include <windows.h>

#include "heap_text.h"

namespace selvane {

// The module that holds this code: the plug-in DLL in production, the test
// executable when the core is linked into a test.
HMODULE ThisModule() noexcept;

// The full path of a module (nullptr: the application). Fails with the
// system's reason (a handle that names no module, say), E_OUTOFMEMORY when no
// buffer can be had, or ERROR_FILENAME_EXCED_RANGE for a path longer than any
// the system hands out.
[[nodiscard]] HRESULT ModuleFileName(HMODULE module, HeapText& path) noexcept;
// The length of the folder part of `path`, with its trailing backslash.
std::size_t FolderLength(std::wstring_view path) noexcept;

// The one module count: live objects, class-factory locks and windows of the
// library, process-wide. The library may be unloaded only when it is zero.
void ModuleAddRef() noexcept;
// Returns the count that is left.
long ModuleRelease() noexcept;
long ModuleCount() noexcept;

// Every window of the library is counted, and the first one pins the module:
// a host's last CoUninitialize unloads in-process servers whatever
// DllCanUnloadNow says, and a live timer window must keep its code.
void NoteWindowCreated() noexcept;
void NoteWindowDestroyed() noexcept;
long LiveWindowCount() noexcept;

}  // namespace selvane
