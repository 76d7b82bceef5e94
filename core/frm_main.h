#pragma once
#include <windows.h>

#include <memory>

#include "driver_state.h"

namespace selvane {

// The hidden timer window of one thread. It is message-only, never shown, and
// exists to own the 45 ms transmit timer timSend. Created with the timer stopped.
class FrmMain {
 public:
  static constexpr UINT kSendPeriodMs = 45;

  // Creates the window for `state`, which must outlive it.
  static HRESULT Create(DriverState& state, std::unique_ptr<FrmMain>& created) noexcept;
  ~FrmMain();
  FrmMain(const FrmMain&) = delete;
  FrmMain& operator=(const FrmMain&) = delete;

  HRESULT StartTimer() noexcept;
  HRESULT StopTimer() noexcept;
  bool TimerRunning() const noexcept { return timerRunning_; }
  HWND Window() const noexcept { return hwnd_; }

 private:
  explicit FrmMain(DriverState& state) : state_(state) {}
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  void OnTimSend() noexcept;

  DriverState& state_;
  HWND hwnd_ = nullptr;
  bool timerRunning_ = false;
};

struct ThreadState;

// The thread's timer window, created on first use.
HRESULT EnsureFrmMain(ThreadState& thread, FrmMain*& frmMain) noexcept;

}  // namespace selvane
