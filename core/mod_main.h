#pragma once
#include <memory>

#include "driver_state.h"
#include "frm_main.h"

namespace selvane {

// The dialog's window object; ui/ defines it and hands over its deleter, so
// that the output core does not depend on the dialog.
class FrmConfig;
using FrmConfigDeleter = void (*)(FrmConfig*) noexcept;

// Everything one host thread shares between its driver objects: the driver
// state and the two window objects, each created on first use and then kept.
struct ThreadState {
  DriverState state{};  // zero-filled
  std::unique_ptr<FrmMain> frmMain;
  std::unique_ptr<FrmConfig, FrmConfigDeleter> frmConfig{nullptr, nullptr};
};

// The calling thread's state, created on its first touch. Returns nullptr only
// when memory for it cannot be had.
ThreadState* CurrentThreadState() noexcept;

// Frees the calling thread's state, if it has one (thread and process detach).
void ReleaseCurrentThreadState() noexcept;

// Gives back the library's TLS slot (the library is being unloaded).
void ReleaseThreadStateSlot() noexcept;

}  // namespace selvane
