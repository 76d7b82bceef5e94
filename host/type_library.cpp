#include "type_library.h"

#include <windows.h>
#include <oleauto.h>
#include <wrl/client.h>

#include <atomic>
#include <string>

#include "module_lifetime.h"
#include "selvane_h.h"

namespace selvane {
namespace {
std::atomic<ITypeInfo*> g_typeInfo{nullptr};
}  // namespace

HRESULT LoadOwnTypeLibrary(ITypeLib** library) noexcept {
  *library = nullptr;
  std::wstring path;
  try {
    path = ThisModulePath();
  } catch (...) {
    return E_OUTOFMEMORY;
  }
  if (path.empty()) return HRESULT_FROM_WIN32(GetLastError() ? GetLastError() : ERROR_MOD_NOT_FOUND);
  return LoadTypeLibEx(path.c_str(), REGKIND_NONE, library);
}

HRESULT OutputDriverTypeInfo(ITypeInfo** info) noexcept {
  *info = nullptr;
  ITypeInfo* cached = g_typeInfo.load(std::memory_order_acquire);
  if (!cached) {
    Microsoft::WRL::ComPtr<ITypeLib> library;
    if (HRESULT hr = LoadOwnTypeLibrary(&library); FAILED(hr)) return hr;
    Microsoft::WRL::ComPtr<ITypeInfo> loaded;
    if (HRESULT hr = library->GetTypeInfoOfGuid(IID__clsOutputDriver, &loaded); FAILED(hr)) return hr;
    ITypeInfo* expected = nullptr;
    // The process keeps this reference for as long as the module is loaded.
    if (g_typeInfo.compare_exchange_strong(expected, loaded.Get(), std::memory_order_acq_rel)) {
      cached = loaded.Detach();
    } else {
      cached = expected;
    }
  }
  cached->AddRef();
  *info = cached;
  return S_OK;
}

}  // namespace selvane
