#pragma once
#include <windows.h>

namespace selvane {

// Live objects and class-factory locks, process-wide. Together with the live
// window count they decide DllCanUnloadNow.
void NoteObjectCreated() noexcept;
void NoteObjectDestroyed() noexcept;
void NoteServerLock(bool lock) noexcept;
bool ServerCanUnload() noexcept;

}  // namespace selvane
