#pragma once
#include <windows.h>
#include <oaidl.h>

#include "selvane_h.h"
#include "unique_any.h"

namespace selvane {

struct ThreadState;

// The output driver object a host creates. It keeps only the names that Init
// received; levels, output state and windows belong to the calling thread's
// shared state, so they outlive the object.
class ClsOutputDriver final : public _clsOutputDriver, public ISupportErrorInfo {
 public:
  static HRESULT Create(REFIID riid, void** object) noexcept;

  // IUnknown
  STDMETHODIMP QueryInterface(REFIID riid, void** object) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;

  // IDispatch (output_driver_dispatch.cpp)
  STDMETHODIMP GetTypeInfoCount(UINT* count) override;
  STDMETHODIMP GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
  STDMETHODIMP GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) override;
  STDMETHODIMP Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params,
                      VARIANT* result, EXCEPINFO* exception, UINT* argError) override;

  // _clsOutputDriver
  STDMETHODIMP Disable(VARIANT_BOOL* result) override;
  STDMETHODIMP Enable(VARIANT_BOOL* result) override;
  STDMETHODIMP PluginName(BSTR* result) override;
  STDMETHODIMP SetChannel(LONG* channel, LONG* value, VARIANT_BOOL* result) override;
  STDMETHODIMP Configure(VARIANT_BOOL* result) override;
  STDMETHODIMP Init(BSTR* callingAppTitle, BSTR* myFilename, VARIANT_BOOL* result) override;
  STDMETHODIMP Term(VARIANT_BOOL* result) override;

  // ISupportErrorInfo
  STDMETHODIMP InterfaceSupportsErrorInfo(REFIID riid) override;

 private:
  ClsOutputDriver();
  ~ClsOutputDriver();

  // Counted atomically, as every COM object is, although a host must call
  // an apartment-threaded object on its own thread only.
  LONG refs_ = 1;
  unique_bstr appTitle_;
  unique_bstr fileName_;
};

}  // namespace selvane
