// The exports of the in-process server.
#include <windows.h>
#include <unknwn.h>

#include <cwctype>

#include "class_factory.h"
#include "registration.h"
#include "selvane_h.h"
#include "server_lifetime.h"

extern "C" {

HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID riid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  if (clsid != CLSID_clsOutputDriver) return CLASS_E_CLASSNOTAVAILABLE;
  return selvane::OutputDriverClassFactory().QueryInterface(riid, object);
}

HRESULT STDAPICALLTYPE DllCanUnloadNow() { return selvane::ServerCanUnload() ? S_OK : S_FALSE; }

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
