// IDispatch of the output driver: the type library does the work, after the
// arguments have been made by-value; SetChannel, the call made for every
// channel of every frame, has a direct path for plain integer arguments.
#include <windows.h>
#include <oleauto.h>
#include <wrl/client.h>

#include "by_value_arguments.h"
#include "cls_output_driver.h"
#include "dispids.h"
#include "type_library.h"

namespace selvane {
namespace {

// An integer argument as the fast path takes it: VT_I2 or VT_I4, by value or by reference.
bool IntegerArgument(const VARIANT& v, LONG& out) {
  switch (V_VT(&v)) {
    case VT_I4: out = V_I4(&v); return true;
    case VT_I2: out = V_I2(&v); return true;
    case VT_BYREF | VT_I4:
      if (!V_I4REF(&v)) return false;
      out = *V_I4REF(&v);
      return true;
    case VT_BYREF | VT_I2:
      if (!V_I2REF(&v)) return false;
      out = *V_I2REF(&v);
      return true;
    default: return false;
  }
}

// What the type library's Invoke reports for a failing method.
HRESULT ExceptionFor(HRESULT failure, EXCEPINFO* exception) {
  if (exception) {
    *exception = EXCEPINFO{};
    exception->scode = failure;
    Microsoft::WRL::ComPtr<IErrorInfo> info;
    if (GetErrorInfo(0, &info) == S_OK) {
      info->GetDescription(&exception->bstrDescription);
      info->GetHelpFile(&exception->bstrHelpFile);
      info->GetSource(&exception->bstrSource);
      info->GetHelpContext(&exception->dwHelpContext);
    }
  }
  return DISP_E_EXCEPTION;
}

}  // namespace

STDMETHODIMP ClsOutputDriver::GetTypeInfoCount(UINT* count) {
  if (!count) return E_POINTER;
  *count = 1;
  return S_OK;
}

STDMETHODIMP ClsOutputDriver::GetTypeInfo(UINT index, LCID, ITypeInfo** info) {
  if (!info) return E_POINTER;
  *info = nullptr;
  if (index != 0) return DISP_E_BADINDEX;
  return OutputDriverTypeInfo(info);
}

STDMETHODIMP ClsOutputDriver::GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID,
                                            DISPID* ids) {
  if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
  if (!names || !ids) return E_POINTER;
  Microsoft::WRL::ComPtr<ITypeInfo> info;
  if (HRESULT hr = OutputDriverTypeInfo(&info); FAILED(hr)) return hr;
  const HRESULT hr = info->GetIDsOfNames(names, count, ids);
  // The type information also knows the inherited IUnknown and IDispatch
  // members; hosts may call only the seven methods by name.
  if (count > 0 && SUCCEEDED(hr) && (ids[0] < kDispidDisable || ids[0] > kDispidTerm)) {
    for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
    return DISP_E_UNKNOWNNAME;
  }
  return hr;
}

HRESULT ClsOutputDriver::InvokeSetChannelFast(DISPPARAMS* params, VARIANT* result,
                                              EXCEPINFO* exception, bool& handled) noexcept {
  handled = false;
  LONG channel = 0, value = 0;
  // Arguments arrive in reverse order: rgvarg[1] is Channel, rgvarg[0] is Value.
  if (params->cArgs != 2 || params->cNamedArgs != 0 || !params->rgvarg ||
      !IntegerArgument(params->rgvarg[1], channel) || !IntegerArgument(params->rgvarg[0], value))
    return S_OK;
  handled = true;
  VARIANT_BOOL stored = VARIANT_FALSE;
  const HRESULT hr = SetChannel(&channel, &value, &stored);
  // Like the type library's Invoke, the result slot gets the retval even on failure.
  if (result) {
    VariantInit(result);
    V_VT(result) = VT_BOOL;
    V_BOOL(result) = stored;
  }
  return FAILED(hr) ? ExceptionFor(hr, exception) : S_OK;
}

STDMETHODIMP ClsOutputDriver::Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* exception, UINT* argError) {
  if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
  DISPPARAMS noArguments{};
  if (!params) params = &noArguments;

  if (id == kDispidSetChannel && (flags & DISPATCH_METHOD)) {
    bool handled = false;
    const HRESULT hr = InvokeSetChannelFast(params, result, exception, handled);
    if (handled) return hr;
  }

  Microsoft::WRL::ComPtr<ITypeInfo> info;
  if (HRESULT hr = OutputDriverTypeInfo(&info); FAILED(hr)) return hr;
  ByValueArguments arguments;
  if (HRESULT hr = arguments.CopyFrom(*params, argError); FAILED(hr)) return hr;
  return info->Invoke(static_cast<_clsOutputDriver*>(this), id, flags, arguments.Params(), result,
                      exception, argError);
}

}  // namespace selvane
