#include "frm_main.h"

#include <new>

#include <mutex>

#include "mod_main.h"
#include "module_lifetime.h"
#include "transmit_tick.h"
#include "vendor_binding.h"

namespace selvane {
namespace {

constexpr wchar_t kClassName[] = L"SelvaneFrmMain";
constexpr UINT_PTR kTimSendId = 1;

HRESULT LastErrorHresult() {
  const DWORD error = GetLastError();
  return error ? HRESULT_FROM_WIN32(error) : E_FAIL;
}

HRESULT RegisterClassOnce(WNDPROC proc) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  if (GetClassInfoExW(ThisModule(), kClassName, &wc)) return S_OK;
  wc.lpfnWndProc = proc;
  wc.hInstance = ThisModule();
  wc.lpszClassName = kClassName;
  if (RegisterClassExW(&wc) || GetLastError() == ERROR_CLASS_ALREADY_EXISTS) return S_OK;
  return LastErrorHresult();
}

}  // namespace

HRESULT FrmMain::Create(DriverState& state, std::unique_ptr<FrmMain>& created) noexcept {
  std::unique_ptr<FrmMain> window(new (std::nothrow) FrmMain(state));
  if (!window) return E_OUTOFMEMORY;
  {
    // Threads creating their first window at once must not race the class
    // registration: one can see the class as existing before it can be used.
    std::lock_guard<std::mutex> registering(ClassRegistrationLock());
    if (HRESULT hr = RegisterClassOnce(&FrmMain::WindowProc); FAILED(hr)) return hr;
  }
  HWND hwnd = CreateWindowExW(0, kClassName, L"frmMain", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                              ThisModule(), window.get());
  if (!hwnd) return LastErrorHresult();
  created = std::move(window);
  return S_OK;
}

FrmMain::~FrmMain() {
  if (hwnd_ && IsWindow(hwnd_)) DestroyWindow(hwnd_);
}

HRESULT FrmMain::StartTimer() noexcept {
  if (!SetTimer(hwnd_, kTimSendId, kSendPeriodMs, nullptr)) return LastErrorHresult();
  timerRunning_ = true;
  return S_OK;
}

HRESULT FrmMain::StopTimer() noexcept {
  // Stopping a timer that does not run is not an error.
  KillTimer(hwnd_, kTimSendId);
  timerRunning_ = false;
  return S_OK;
}

void FrmMain::OnTimSend() noexcept { RunTick(state_, ProcessVendorPort()); }

LRESULT CALLBACK FrmMain::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* self = static_cast<FrmMain*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    self->hwnd_ = hwnd;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    NoteWindowCreated();
    return DefWindowProcW(hwnd, message, wParam, lParam);
  }
  auto* self = reinterpret_cast<FrmMain*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (!self) return DefWindowProcW(hwnd, message, wParam, lParam);
  switch (message) {
    case WM_TIMER:
      if (wParam == kTimSendId) {
        self->OnTimSend();
        return 0;
      }
      break;
    case WM_NCDESTROY:
      SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
      self->hwnd_ = nullptr;
      self->timerRunning_ = false;
      NoteWindowDestroyed();
      break;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

HRESULT EnsureFrmMain(ThreadState& thread, FrmMain*& frmMain) noexcept {
  // A window that is gone (destroyed from outside) is replaced by a fresh, stopped one.
  if (thread.frmMain && !thread.frmMain->Window()) thread.frmMain.reset();
  if (!thread.frmMain) {
    if (HRESULT hr = FrmMain::Create(thread.state, thread.frmMain); FAILED(hr)) return hr;
  }
  frmMain = thread.frmMain.get();
  return S_OK;
}

}  // namespace selvane
