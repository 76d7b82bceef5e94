#pragma once
#include <windows.h>

#include <mutex>
#include <string>

namespace selvane {

// The module that holds this code: the plug-in DLL in production, the test
// executable when the core is linked into a test.
HMODULE ThisModule();

// Full path of that module; empty if it cannot be had.
std::wstring ThisModulePath();

// Every window of the library counts here, process-wide. The first one pins the
// module: a host's last CoUninitialize unloads in-process servers whatever
// DllCanUnloadNow says, and a live timer window must keep its code.
void NoteWindowCreated();
void NoteWindowDestroyed();
long LiveWindowCount();

// Held while a window class of the library is registered.
std::mutex& ClassRegistrationLock();

}  // namespace selvane
