#pragma once
#include <memory>

#include "driver_state.h"
#include "frm_main.h"
#include "thread_window.h"

namespace selvane {

// Everything one host thread shares between its driver objects: the driver
// state and the two window objects, each created on first use and then kept.
struct ThreadState {
  DriverState state{};  // zero-filled
  std::unique_ptr<FrmMain> frmMain;
  std::unique_ptr<ThreadWindow> frmConfig;
};

// The calling thread's state, created on its first touch. Returns nullptr only
// when memory for it cannot be had.
ThreadState* CurrentThreadState() noexcept;

// Frees the calling thread's state, if it has one (thread and process detach).
void ReleaseCurrentThreadState() noexcept;

}  // namespace selvane
