#include "type_library.h"

#include <windows.h>
#include <oleauto.h>
#include <wrl/client.h>

#include <atomic>

#include "module_lifetime.h"
#include "selvane_h.h"

namespace selvane {
namespace {
std::atomic<ITypeInfo*> g_typeInfo{nullptr};
}  // namespace

HRESULT LoadOwnTypeLibrary(ITypeLib** library) noexcept {
  *library = nullptr;
  HeapText path;
  if (HRESULT hr = ModuleFileName(ThisModule(), path); FAILED(hr)) return hr;
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
    if (g_typeInfo.compare_exchange_strong(expected, loaded.Get(), std::memory_order_acq_rel)) {
      cached = loaded.Detach();
    } else {
      // Another thread was first; ours goes with `loaded`.
      loaded->AddRef();
      *info = loaded.Get();
      return S_OK;
    }
  }
  cached->AddRef();
  *info = cached;
  return S_OK;
}

void ReleaseOutputDriverTypeInfo() noexcept {
  if (ITypeInfo* cached = g_typeInfo.exchange(nullptr, std::memory_order_acq_rel)) cached->Release();
}

}  // namespace selvane
