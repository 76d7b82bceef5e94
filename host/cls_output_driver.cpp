#include "cls_output_driver.h"

#include <new>

#include "automation_hresult.h"
#include "error_info.h"
#include "frm_config.h"
#include "frm_main.h"
#include "mod_main.h"
#include "server_lifetime.h"
#include "set_channel_rule.h"
#include "settings_store.h"
#include "unique_bstr.h"

namespace selvane {
namespace {

constexpr wchar_t kPluginName[] = L"Selvane DMX-60; DMX-120; DMX-510USB";

// Every method ends here: the result slot, and the error information that goes
// with the status.
HRESULT Finish(HRESULT hr, VARIANT_BOOL* slot, VARIANT_BOOL value, FailureContext context) {
  if (FAILED(hr)) {
    if (slot) *slot = VARIANT_FALSE;
    return ReportFailure(hr, context);
  }
  *slot = value;
  ClearErrorInfo();
  return S_OK;
}

HRESULT ThreadStateFor(ThreadState*& thread) {
  thread = CurrentThreadState();
  return thread ? S_OK : E_OUTOFMEMORY;
}

// The thread's state and its timer window, created if needed.
HRESULT TimerWindow(ThreadState*& thread, FrmMain*& frmMain) {
  if (HRESULT hr = ThreadStateFor(thread); FAILED(hr)) return hr;
  return EnsureFrmMain(*thread, frmMain);
}

}  // namespace

ClsOutputDriver::ClsOutputDriver() { NoteObjectCreated(); }
ClsOutputDriver::~ClsOutputDriver() { NoteObjectDestroyed(); }

HRESULT ClsOutputDriver::Create(REFIID riid, void** object) noexcept {
  if (!object) return E_POINTER;
  *object = nullptr;
  auto* driver = new (std::nothrow) ClsOutputDriver();
  if (!driver) return E_OUTOFMEMORY;
  const HRESULT hr = driver->QueryInterface(riid, object);
  driver->Release();
  return hr;
}

STDMETHODIMP ClsOutputDriver::QueryInterface(REFIID riid, void** object) {
  if (!object) return E_POINTER;
  if (riid == IID_IUnknown || riid == IID_IDispatch || riid == IID__clsOutputDriver) {
    *object = static_cast<_clsOutputDriver*>(this);
  } else if (riid == IID_ISupportErrorInfo) {
    *object = static_cast<ISupportErrorInfo*>(this);
  } else {
    *object = nullptr;
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

// Objects are apartment-threaded: every call comes on the creating thread.
STDMETHODIMP_(ULONG) ClsOutputDriver::AddRef() { return static_cast<ULONG>(++refs_); }

STDMETHODIMP_(ULONG) ClsOutputDriver::Release() {
  const LONG left = --refs_;
  // Releasing the object leaves output, timer and windows as they are.
  if (left == 0) delete this;
  return static_cast<ULONG>(left);
}

STDMETHODIMP ClsOutputDriver::InterfaceSupportsErrorInfo(REFIID riid) {
  return (riid == IID__clsOutputDriver || riid == IID_IDispatch) ? S_OK : S_FALSE;
}

STDMETHODIMP ClsOutputDriver::Disable(VARIANT_BOOL* result) {
  if (!result) return E_POINTER;
  ThreadState* thread = nullptr;
  FrmMain* frmMain = nullptr;
  HRESULT hr = TimerWindow(thread, frmMain);
  if (SUCCEEDED(hr)) hr = frmMain->StopTimer();
  if (SUCCEEDED(hr)) thread->state.OutputActive = 0;
  return Finish(hr, result, VARIANT_TRUE, FailureContext::Window);
}

STDMETHODIMP ClsOutputDriver::Enable(VARIANT_BOOL* result) {
  if (!result) return E_POINTER;
  ThreadState* thread = nullptr;
  FrmMain* frmMain = nullptr;
  HRESULT hr = TimerWindow(thread, frmMain);
  if (SUCCEEDED(hr)) hr = frmMain->StartTimer();
  // The first tick, at most one period later, does the sending.
  if (SUCCEEDED(hr)) thread->state.OutputActive = -1;
  return Finish(hr, result, VARIANT_FALSE, FailureContext::Window);
}

STDMETHODIMP ClsOutputDriver::PluginName(BSTR* result) {
  if (!result) return E_POINTER;
  *result = SysAllocString(kPluginName);
  if (!*result) return ReportFailure(E_OUTOFMEMORY, FailureContext::Other);
  ClearErrorInfo();
  return S_OK;
}

STDMETHODIMP ClsOutputDriver::SetChannel(LONG* channel, LONG* value, VARIANT_BOOL* result) {
  if (!result) return E_POINTER;
  if (!channel || !value) return Finish(E_POINTER, result, VARIANT_FALSE, FailureContext::Channel);
  ThreadState* thread = nullptr;
  HRESULT hr = ThreadStateFor(thread);
  VARIANT_BOOL stored = VARIANT_FALSE;
  if (SUCCEEDED(hr)) {
    const SetChannelResult r = ApplySetChannel(thread->state.ChannelBuffer, *channel, *value);
    if (r.outcome == SetChannelOutcome::Failed) hr = AutomationHresult(r.error);
    stored = r.outcome == SetChannelOutcome::Stored ? VARIANT_TRUE : VARIANT_FALSE;
  }
  return Finish(hr, result, stored, FailureContext::Channel);
}

STDMETHODIMP ClsOutputDriver::Configure(VARIANT_BOOL* result) {
  if (!result) return E_POINTER;
  ThreadState* thread = nullptr;
  FrmMain* frmMain = nullptr;
  HRESULT hr = TimerWindow(thread, frmMain);
  if (FAILED(hr)) return Finish(hr, result, VARIANT_FALSE, FailureContext::Window);

  // No tick may run inside the dialog's modal loop.
  const bool wasRunning = frmMain->TimerRunning();
  frmMain->StopTimer();
  hr = ShowFrmConfig(*thread);
  // The timer goes back to how it was even when the dialog could not be shown,
  // so a failed Configure never silently stops the output.
  if (wasRunning) {
    const HRESULT restart = frmMain->StartTimer();
    if (SUCCEEDED(hr)) hr = restart;
  }
  return Finish(hr, result, VARIANT_FALSE, FailureContext::Window);
}

STDMETHODIMP ClsOutputDriver::Init(BSTR* callingAppTitle, BSTR* myFilename, VARIANT_BOOL* result) {
  if (!result) return E_POINTER;
  if (!callingAppTitle || !myFilename)
    return Finish(E_POINTER, result, VARIANT_FALSE, FailureContext::LoadSetting);
  try {
    appTitle_.assign(BstrText(*callingAppTitle));
    fileName_.assign(BstrText(*myFilename));
  } catch (...) {
    return Finish(E_OUTOFMEMORY, result, VARIANT_FALSE, FailureContext::Other);
  }
  ThreadState* thread = nullptr;
  HRESULT hr = ThreadStateFor(thread);
  // On failure the store leaves ChannelCount as it was; the names stay stored.
  if (SUCCEEDED(hr)) hr = LoadChannelCount(appTitle_, fileName_, thread->state.ChannelCount);
  return Finish(hr, result, VARIANT_FALSE, FailureContext::LoadSetting);
}

STDMETHODIMP ClsOutputDriver::Term(VARIANT_BOOL* result) {
  if (!result) return E_POINTER;
  ThreadState* thread = nullptr;
  HRESULT hr = ThreadStateFor(thread);
  if (SUCCEEDED(hr)) hr = SaveChannelCount(appTitle_, fileName_, thread->state.ChannelCount);
  return Finish(hr, result, VARIANT_FALSE, FailureContext::SaveSetting);
}

}  // namespace selvane
