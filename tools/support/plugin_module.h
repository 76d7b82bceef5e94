#pragma once
// Loads Selvane.out.dll and creates its objects early-bound, the way a host
// that links the type library's header does.
#include <windows.h>
#include <wrl/client.h>

#include "selvane_h.h"

class PluginModule {
 public:
  // The DLL at `path`, loaded for the rest of the process.
  explicit PluginModule(const wchar_t* path) {
    module_ = LoadLibraryW(path);
    if (module_) getClassObject_ = Export<GetClassObject>("DllGetClassObject");
  }
  PluginModule(const PluginModule&) = delete;
  PluginModule& operator=(const PluginModule&) = delete;

#ifdef SELVANE_DLL_PATH
  // The built Selvane.out.dll.
  static PluginModule& Get() {
    static PluginModule module(SELVANE_DLL_PATH);
    return module;
  }
#endif

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
  HMODULE module_ = nullptr;
  GetClassObject getClassObject_ = nullptr;
};

#if defined(ADD_FAILURE) && defined(SELVANE_DLL_PATH)  // only where GoogleTest is in use
// Creates one object, failing the current test if that is not possible.
inline Microsoft::WRL::ComPtr<_clsOutputDriver> NewDriver() {
  Microsoft::WRL::ComPtr<_clsOutputDriver> driver;
  const HRESULT hr = PluginModule::Get().Create(driver);
  if (FAILED(hr)) ADD_FAILURE() << "cannot create clsOutputDriver: 0x" << std::hex << hr;
  return driver;
}
#endif
