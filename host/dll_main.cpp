#include <windows.h>

#include "mod_main.h"

// Only the library's own housekeeping runs here: a thread's driver state and
// windows go with the thread.
extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  switch (reason) {
    case DLL_PROCESS_ATTACH:
      break;
    case DLL_THREAD_DETACH:
      selvane::ReleaseCurrentThreadState();
      break;
    case DLL_PROCESS_DETACH:
      // At process exit (reserved != nullptr) other threads are gone; touch nothing.
      if (reserved == nullptr) selvane::ReleaseCurrentThreadState();
      break;
  }
  (void)instance;
  return TRUE;
}
