#pragma once
#include <windows.h>

#include <functional>

// Runs `body` on a new thread and waits for it (at most `timeoutMs`).
// Returns false if the thread could not be started or did not finish.
inline bool RunOnThread(std::function<void()> body, DWORD timeoutMs = 20000) {
  struct Trampoline {
    static DWORD WINAPI Run(LPVOID p) {
      (*static_cast<std::function<void()>*>(p))();
      return 0;
    }
  };
  HANDLE thread = CreateThread(nullptr, 0, &Trampoline::Run, &body, 0, nullptr);
  if (!thread) return false;
  const bool finished = WaitForSingleObject(thread, timeoutMs) == WAIT_OBJECT_0;
  CloseHandle(thread);
  return finished;
}
