#include "cls_output_driver.h"

#include <new>

#include "automation_hresult.h"
#include "error_info.h"
#include "frm_config.h"
#include "frm_main.h"
#include "mod_main.h"
#include "module_lifetime.h"
#include "set_channel_rule.h"
#include "settings_store.h"
#include "type_library.h"
#include "vendor_binding.h"

namespace selvane {
namespace {

constexpr wchar_t kPluginName[] = L"Selvane DMX-60; DMX-120; DMX-510USB";

// The text of a BSTR, embedded NULs included; a NULL BSTR is the empty text.
std::wstring_view BstrText(BSTR text) noexcept {
  return text ? std::wstring_view(text, SysStringLen(text)) : std::wstring_view{};
}

// A copy of a host's string; fails only for want of memory. A NULL BSTR
// stays NULL, which reads as the empty text.
HRESULT CopyBstr(BSTR source, unique_bstr& copy) noexcept {
  if (!source) {
    copy.reset();
    return S_OK;
  }
  BSTR made = SysAllocStringLen(source, SysStringLen(source));
  if (!made) return E_OUTOFMEMORY;
  copy.reset(made);
  return S_OK;
}

HRESULT CurrentThread(ThreadState*& thread) noexcept {
  thread = CurrentThreadState();
  return thread ? S_OK : E_OUTOFMEMORY;
}

// The thread's state and its timer window, created if needed.
HRESULT TimerWindow(ThreadState*& thread, FrmMain*& frmMain) noexcept {
  if (HRESULT hr = CurrentThread(thread); FAILED(hr)) return hr;
  return EnsureFrmMain(*thread, frmMain);
}

// What each method does, with early returns; the methods below only add the
// answer to the host.

HRESULT StopOutput() noexcept {
  ThreadState* thread = nullptr;
  FrmMain* frmMain = nullptr;
  if (HRESULT hr = TimerWindow(thread, frmMain); FAILED(hr)) return hr;
  if (HRESULT hr = frmMain->StopTimer(); FAILED(hr)) return hr;
  thread->state.OutputActive = 0;
  return S_OK;
}

HRESULT StartOutput() noexcept {
  ThreadState* thread = nullptr;
  FrmMain* frmMain = nullptr;
  if (HRESULT hr = TimerWindow(thread, frmMain); FAILED(hr)) return hr;
  if (HRESULT hr = frmMain->StartTimer(); FAILED(hr)) return hr;
  // A library that faulted gets one more chance; the first tick, at most one
  // period later, does the sending.
  ProcessVendorBindings().RetryFaulted();
  thread->state.OutputActive = -1;
  return S_OK;
}

HRESULT StoreLevel(LONG channel, LONG value, VARIANT_BOOL& stored) noexcept {
  ThreadState* thread = nullptr;
  if (HRESULT hr = CurrentThread(thread); FAILED(hr)) return hr;
  const SetChannelResult r = ApplySetChannel(thread->state.ChannelBuffer, channel, value);
  if (r.outcome == SetChannelOutcome::Failed) return AutomationHresult(r.error);
  stored = r.outcome == SetChannelOutcome::Stored ? VARIANT_TRUE : VARIANT_FALSE;
  return S_OK;
}

HRESULT ShowConfiguration() noexcept {
  ThreadState* thread = nullptr;
  FrmMain* frmMain = nullptr;
  if (HRESULT hr = TimerWindow(thread, frmMain); FAILED(hr)) return hr;

  // No tick may run inside the dialog's modal loop. Afterwards the host's
  // last Enable or Disable from inside that loop stands; without one the
  // timer goes back to how it was, even when the dialog could not be shown,
  // so a failed Configure never silently stops the output.
  frmMain->HoldTimer();
  const HRESULT shown = ShowFrmConfig(*thread);
  const HRESULT released = frmMain->ReleaseTimer();
  return FAILED(shown) ? shown : released;
}

HRESULT LoadSetting(BSTR appTitle, BSTR fileName) noexcept {
  ThreadState* thread = nullptr;
  if (HRESULT hr = CurrentThread(thread); FAILED(hr)) return hr;
  // On failure the store leaves ChannelCount as it was.
  return LoadChannelCount(BstrText(appTitle), BstrText(fileName), thread->state.ChannelCount);
}

HRESULT SaveSetting(BSTR appTitle, BSTR fileName) noexcept {
  ThreadState* thread = nullptr;
  if (HRESULT hr = CurrentThread(thread); FAILED(hr)) return hr;
  return SaveChannelCount(BstrText(appTitle), BstrText(fileName), thread->state.ChannelCount);
}

// Every method ends here: the result slot, and the error information that goes
// with the status.
HRESULT Answer(HRESULT hr, VARIANT_BOOL* slot, VARIANT_BOOL value, FailureContext context) noexcept {
  if (FAILED(hr)) {
    *slot = VARIANT_FALSE;
    return ReportFailure(hr, context);
  }
  *slot = value;
  ClearErrorInfo();
  return S_OK;
}

}  // namespace

ClsOutputDriver::ClsOutputDriver() { ModuleAddRef(); }

ClsOutputDriver::~ClsOutputDriver() {
  // The last object takes the cached type information with it, so that a
  // host that unloads the library loses nothing.
  if (ModuleRelease() == 0) ReleaseOutputDriverTypeInfo();
}

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

STDMETHODIMP_(ULONG) ClsOutputDriver::AddRef() { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }

STDMETHODIMP_(ULONG) ClsOutputDriver::Release() {
  const LONG left = InterlockedDecrement(&refs_);
  // Releasing the object leaves output, timer and windows as they are.
  if (left == 0) delete this;
  return static_cast<ULONG>(left);
}

STDMETHODIMP ClsOutputDriver::InterfaceSupportsErrorInfo(REFIID riid) {
  return (riid == IID__clsOutputDriver || riid == IID_IDispatch) ? S_OK : S_FALSE;
}

STDMETHODIMP ClsOutputDriver::Disable(VARIANT_BOOL* result) {
  if (!result) return E_POINTER;
  return Answer(StopOutput(), result, VARIANT_TRUE, FailureContext::Window);
}

STDMETHODIMP ClsOutputDriver::Enable(VARIANT_BOOL* result) {
  if (!result) return E_POINTER;
  return Answer(StartOutput(), result, VARIANT_FALSE, FailureContext::Window);
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
  if (!channel || !value) return Answer(E_POINTER, result, VARIANT_FALSE, FailureContext::Channel);
  VARIANT_BOOL stored = VARIANT_FALSE;
  const HRESULT hr = StoreLevel(*channel, *value, stored);
  return Answer(hr, result, stored, FailureContext::Channel);
}

STDMETHODIMP ClsOutputDriver::Configure(VARIANT_BOOL* result) {
  if (!result) return E_POINTER;
  return Answer(ShowConfiguration(), result, VARIANT_FALSE, FailureContext::Window);
}

STDMETHODIMP ClsOutputDriver::Init(BSTR* callingAppTitle, BSTR* myFilename, VARIANT_BOOL* result) {
  if (!result) return E_POINTER;
  if (!callingAppTitle || !myFilename) return Answer(E_POINTER, result, VARIANT_FALSE, FailureContext::LoadSetting);
  // The names are kept even when loading the setting fails.
  if (HRESULT hr = CopyBstr(*callingAppTitle, appTitle_); FAILED(hr))
    return Answer(hr, result, VARIANT_FALSE, FailureContext::Other);
  if (HRESULT hr = CopyBstr(*myFilename, fileName_); FAILED(hr))
    return Answer(hr, result, VARIANT_FALSE, FailureContext::Other);
  return Answer(LoadSetting(appTitle_.get(), fileName_.get()), result, VARIANT_FALSE, FailureContext::LoadSetting);
}

STDMETHODIMP ClsOutputDriver::Term(VARIANT_BOOL* result) {
  if (!result) return E_POINTER;
  return Answer(SaveSetting(appTitle_.get(), fileName_.get()), result, VARIANT_FALSE, FailureContext::SaveSetting);
}

}  // namespace selvane
