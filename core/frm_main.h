#pragma once
#include <windows.h>

#include "driver_state.h"
#include "window_base.h"

namespace selvane {

// The hidden timer window of one thread. It is message-only, never shown, and
// exists to own the 45 ms transmit timer timSend. Created with the timer stopped.
class FrmMain final : public WindowBase<FrmMain> {
 public:
  static constexpr UINT kSendPeriodMs = 45;
  static constexpr const wchar_t* kClassName = L"SelvaneFrmMain";

  explicit FrmMain(DriverState& state) noexcept : state_(state) {}
  ~FrmMain() { DestroyOwnWindow(); }
  HRESULT Create() noexcept;

  // Starting a running timer leaves it running, its period undisturbed.
  HRESULT StartTimer() noexcept;
  HRESULT StopTimer() noexcept;
  bool TimerRunning() const noexcept { return timerRunning_; }

  // While the "Konfiguration" dialog is open the timer is held stopped:
  // Start and Stop only note what the host asked for last, and the release
  // of the outermost hold applies it (or the state from before the hold, if
  // the host asked for nothing).
  void HoldTimer() noexcept;
  HRESULT ReleaseTimer() noexcept;

  static void DescribeClass(WNDCLASSEXW&) noexcept {}
  static LRESULT DefaultProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(hwnd, message, wParam, lParam);
  }
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) noexcept;

 private:
  void OnTimSend() noexcept;

  DriverState& state_;
  bool timerRunning_ = false;
  bool ticking_ = false;
  int holds_ = 0;
  bool runAfterHold_ = false;
};

struct ThreadState;

// The thread's timer window, created on first use.
HRESULT EnsureFrmMain(ThreadState& thread, FrmMain*& frmMain) noexcept;

}  // namespace selvane
