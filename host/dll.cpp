// The in-process server module: its entry point, its exports and the class
// factory, around the one module count (module_lifetime.h) that objects,
// factory locks and windows share.
#include <windows.h>
#include <unknwn.h>

#include "cls_output_driver.h"
#include "mod_main.h"
#include "module_lifetime.h"
#include "registration.h"
#include "selvane_h.h"

namespace selvane {
namespace {

class OutputDriverFactory final : public IClassFactory {
 public:
  STDMETHODIMP QueryInterface(REFIID riid, void** object) override {
    if (!object) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IClassFactory) {
      *object = static_cast<IClassFactory*>(this);
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  // A static object: references do not keep anything alive, locks do.
  STDMETHODIMP_(ULONG) AddRef() override { return 2; }
  STDMETHODIMP_(ULONG) Release() override { return 1; }

  STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** object) override {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    return ClsOutputDriver::Create(riid, object);
  }
  STDMETHODIMP LockServer(BOOL lock) override {
    if (lock) ModuleAddRef();
    else ModuleRelease();
    return S_OK;
  }
};

OutputDriverFactory g_factory;

}  // namespace
}  // namespace selvane

extern "C" {

// Only the library's own housekeeping runs here: a thread's driver state and
// windows go with the thread, and the TLS slot with the library.
BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved) {
  switch (reason) {
    case DLL_THREAD_DETACH:
      selvane::ReleaseCurrentThreadState();
      break;
    case DLL_PROCESS_DETACH:
      // At process exit (reserved != nullptr) other threads are gone; touch nothing.
      if (reserved == nullptr) {
        selvane::ReleaseCurrentThreadState();
        selvane::ReleaseThreadStateSlot();
      }
      break;
  }
  return TRUE;
}

HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID riid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  if (clsid != CLSID_clsOutputDriver) return CLASS_E_CLASSNOTAVAILABLE;
  return selvane::g_factory.QueryInterface(riid, object);
}

HRESULT STDAPICALLTYPE DllCanUnloadNow() { return selvane::ModuleCount() == 0 ? S_OK : S_FALSE; }

HRESULT STDAPICALLTYPE DllRegisterServer() {
  return selvane::RegisterServer(selvane::RegistrationScope::Machine);
}

HRESULT STDAPICALLTYPE DllUnregisterServer() {
  return selvane::UnregisterServer(selvane::RegistrationScope::Machine);
}

// regsvr32 /n /i:user registers for the current user only; /u /n /i:user removes that.
HRESULT STDAPICALLTYPE DllInstall(BOOL install, LPCWSTR commandLine) {
  auto scope = selvane::RegistrationScope::Machine;
  if (commandLine && *commandLine) {
    if (_wcsicmp(commandLine, L"user") != 0) return E_INVALIDARG;
    scope = selvane::RegistrationScope::User;
  }
  return install ? selvane::RegisterServer(scope) : selvane::UnregisterServer(scope);
}

}  // extern "C"
