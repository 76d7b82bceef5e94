#include "class_factory.h"

#include "cls_output_driver.h"
#include "server_lifetime.h"

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
    NoteServerLock(lock != FALSE);
    return S_OK;
  }
};

OutputDriverFactory g_factory;

}  // namespace

IClassFactory& OutputDriverClassFactory() noexcept { return g_factory; }

}  // namespace selvane
