#pragma once
// Loads the real Selvane.out.dll and creates its objects early-bound, the way
// a host that links the type library's header does.
#include <windows.h>
#include <wrl/client.h>

#include "selvane_h.h"

#ifndef SELVANE_DLL_PATH
#error "SELVANE_DLL_PATH must name the built Selvane.out.dll"
#endif

class PluginModule {
 public:
  static PluginModule& Get() {
    static PluginModule module;
    return module;
  }
  HMODULE Handle() const { return module_; }

  HRESULT Create(Microsoft::WRL::ComPtr<_clsOutputDriver>& driver) const {
    if (!getClassObject_) return HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND);
    Microsoft::WRL::ComPtr<IClassFactory> factory;
    HRESULT hr = getClassObject_(CLSID_clsOutputDriver, IID_IClassFactory, &factory);
    if (FAILED(hr)) return hr;
    return factory->CreateInstance(nullptr, IID__clsOutputDriver, &driver);
  }
  template <typename F>
  F Export(const char* name) const {
    return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module_, name)));
  }

 private:
  using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
  PluginModule() {
    module_ = LoadLibraryW(SELVANE_DLL_PATH);
    if (module_) getClassObject_ = Export<GetClassObject>("DllGetClassObject");
  }
  HMODULE module_ = nullptr;
  GetClassObject getClassObject_ = nullptr;
};

#ifdef ADD_FAILURE  // only where GoogleTest is in use
// Creates one object, failing the current test if that is not possible.
inline Microsoft::WRL::ComPtr<_clsOutputDriver> NewDriver() {
  Microsoft::WRL::ComPtr<_clsOutputDriver> driver;
  const HRESULT hr = PluginModule::Get().Create(driver);
  if (FAILED(hr)) ADD_FAILURE() << "cannot create clsOutputDriver: 0x" << std::hex << hr;
  return driver;
}
#endif
