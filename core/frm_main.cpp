#include "frm_main.h"

#include <new>

#include "mod_main.h"
#include "vendor_binding.h"

namespace selvane {
namespace {
constexpr UINT_PTR kTimSendId = 1;
}  // namespace

HRESULT FrmMain::Create() noexcept {
  return CreateWindowOfClass(0, L"frmMain", 0, 0, 0, 0, 0, HWND_MESSAGE);
}

HRESULT FrmMain::StartTimer() noexcept {
  if (holds_ > 0) {
    runAfterHold_ = true;
    return S_OK;
  }
  // SetTimer on a running timer would start its period again: a host that
  // enables output with every cue would then never see a tick.
  if (timerRunning_) return S_OK;
  if (!SetTimer(hwnd_, kTimSendId, kSendPeriodMs, nullptr)) return LastErrorHresult();
  timerRunning_ = true;
  return S_OK;
}

HRESULT FrmMain::StopTimer() noexcept {
  if (holds_ > 0) {
    runAfterHold_ = false;
    return S_OK;
  }
  // Stopping a timer that does not run is not an error.
  KillTimer(hwnd_, kTimSendId);
  timerRunning_ = false;
  return S_OK;
}

void FrmMain::HoldTimer() noexcept {
  if (holds_++ > 0) return;
  runAfterHold_ = timerRunning_;
  KillTimer(hwnd_, kTimSendId);
  timerRunning_ = false;
}

HRESULT FrmMain::ReleaseTimer() noexcept {
  if (holds_ == 0 || --holds_ > 0) return S_OK;
  return runAfterHold_ ? StartTimer() : StopTimer();
}

void FrmMain::OnTimSend() noexcept {
  // A vendor library that shows a message box or pumps messages delivers the
  // next tick inside its own call; that tick sends nothing, so at most one
  // tick per thread is ever in progress.
  if (ticking_) return;
  ticking_ = true;
  RunVendorTick(state_);
  ticking_ = false;
}

LRESULT FrmMain::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) noexcept {
  if (message == WM_TIMER && wParam == kTimSendId) {
    OnTimSend();
    return 0;
  }
  if (message == WM_NCDESTROY) timerRunning_ = false;
  return DefaultProc(hwnd_, message, wParam, lParam);
}

HRESULT EnsureFrmMain(ThreadState& thread, FrmMain*& frmMain) noexcept {
  // A window that is gone (destroyed from outside) is replaced by a fresh, stopped one.
  if (thread.frmMain && !thread.frmMain->Window()) thread.frmMain.reset();
  if (!thread.frmMain) {
    std::unique_ptr<FrmMain> window(new (std::nothrow) FrmMain(thread.state));
    if (!window) return E_OUTOFMEMORY;
    if (HRESULT hr = window->Create(); FAILED(hr)) return hr;
    thread.frmMain = std::move(window);
  }
  frmMain = thread.frmMain.get();
  return S_OK;
}

}  // namespace selvane
