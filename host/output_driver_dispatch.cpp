// IDispatch of the output driver: the type library does the work, after the
// arguments have been made by-value; SetChannel, the call made for every
// channel of every frame, has a direct path for integer arguments, plain or
// in a script's variables.
#include <windows.h>
#include <oleauto.h>
#include <wrl/client.h>

#include <cmath>

#include "by_value_arguments.h"
#include "cls_output_driver.h"
#include "dispids.h"
#include "type_library.h"

namespace selvane {
namespace {

// An integer argument as the fast path takes it: VT_I2 or VT_I4, by value or by
// reference, also inside the variable that a script engine passes by
// reference (VT_BYREF|VT_VARIANT). Anything else, a NULL reference included,
// goes to the general path, which converts or refuses it.
bool IntegerArgument(const VARIANT& arg, LONG& out) {
  const VARIANT* v = &arg;
  if (V_VT(v) == (VT_BYREF | VT_VARIANT)) {
    v = V_VARIANTREF(v);
    if (!v) return false;
  }
  VARTYPE type = V_VT(v);
  const void* value = &V_I4(v);  // the union: both integers start there
  if (type & VT_BYREF) {
    value = V_BYREF(v);
    if (!value) return false;
    type &= ~VT_BYREF;
  }
  if (type == VT_I4) out = *static_cast<const LONG*>(value);
  else if (type == VT_I2) out = *static_cast<const SHORT*>(value);
  else return false;
  return true;
}

// What the type library's Invoke reports for a failing method. Kept out of
// line: only a failing call pays for it.
[[gnu::noinline]] HRESULT ExceptionFor(HRESULT failure, EXCEPINFO* exception) {
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

// Conversions that the runtime would let through with a wrong number: a NaN
// and an unsigned value above the Long range become overflows, as documented.
HRESULT CheckLongRange(const VARIANT& v) {
  switch (V_VT(&v)) {
    case VT_R4: return std::isnan(V_R4(&v)) ? DISP_E_OVERFLOW : S_OK;
    case VT_R8: return std::isnan(V_R8(&v)) ? DISP_E_OVERFLOW : S_OK;
    case VT_DATE: return std::isnan(V_DATE(&v)) ? DISP_E_OVERFLOW : S_OK;
    case VT_UI4: return V_UI4(&v) > 0x7FFFFFFFu ? DISP_E_OVERFLOW : S_OK;
    case VT_UINT: return V_UINT(&v) > 0x7FFFFFFFu ? DISP_E_OVERFLOW : S_OK;
    default: return S_OK;
  }
}

// Converts the private by-value arguments to the parameters' own type before
// the call. The type library's Invoke would otherwise convert them, run the
// method, and then fail converting the result back into an argument of
// another type (an object, say): the host would see a failure for a call that
// had already stored its level or its names.
HRESULT ConvertArguments(DISPPARAMS& params, VARTYPE type, LCID lcid, UINT* argError) {
  for (UINT i = 0; i < params.cArgs; ++i) {
    VARIANT& v = params.rgvarg[i];
    if (V_VT(&v) == type) continue;
    HRESULT hr = type == VT_I4 ? CheckLongRange(v) : S_OK;
    if (SUCCEEDED(hr)) hr = VariantChangeTypeEx(&v, &v, lcid, 0, type);
    if (FAILED(hr)) {
      if (argError) *argError = i;
      return hr;
    }
  }
  return S_OK;
}

// Every other call: the arguments made by-value and converted, then the type
// library's Invoke. Out of line, so that the fast path does not set up its frame.
[[gnu::noinline]] HRESULT InvokeThroughTypeLibrary(_clsOutputDriver& object, DISPID id, LCID lcid, WORD flags,
                                                   DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception,
                                                   UINT* argError) {
  DISPPARAMS noArguments{};
  if (!params) params = &noArguments;
  Microsoft::WRL::ComPtr<ITypeInfo> info;
  if (HRESULT hr = OutputDriverTypeInfo(&info); FAILED(hr)) return hr;
  ByValueArguments arguments;
  if (HRESULT hr = arguments.CopyFrom(*params, argError); FAILED(hr)) return hr;
  // Both methods with parameters take two of one type; other counts are left
  // to the type library to refuse.
  DISPPARAMS& copied = *arguments.Params();
  if ((id == kDispidSetChannel || id == kDispidInit) && (flags & DISPATCH_METHOD) && copied.cArgs == 2) {
    const VARTYPE type = id == kDispidSetChannel ? VT_I4 : VT_BSTR;
    if (HRESULT hr = ConvertArguments(copied, type, lcid, argError); FAILED(hr)) return hr;
  }
  return info->Invoke(&object, id, flags, arguments.Params(), result, exception, argError);
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

STDMETHODIMP ClsOutputDriver::Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* exception, UINT* argError) {
  if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
  // SetChannel, the call made for every channel of every frame, with two
  // integer arguments: straight to the method, no copies, no type library.
  // Arguments arrive in reverse order: rgvarg[1] is Channel, rgvarg[0] is Value.
  LONG channel = 0, value = 0;
  if (id == kDispidSetChannel && (flags & DISPATCH_METHOD) && params && params->cArgs == 2 &&
      params->cNamedArgs == 0 && params->rgvarg && IntegerArgument(params->rgvarg[1], channel) &&
      IntegerArgument(params->rgvarg[0], value)) {
    VARIANT_BOOL stored = VARIANT_FALSE;
    const HRESULT hr = SetChannel(&channel, &value, &stored);
    // Like the type library's Invoke, the result slot gets the retval even on failure.
    if (result) {
      V_VT(result) = VT_BOOL;
      V_BOOL(result) = stored;
    }
    return SUCCEEDED(hr) ? S_OK : ExceptionFor(hr, exception);
  }
  return InvokeThroughTypeLibrary(*this, id, lcid, flags, params, result, exception, argError);
}

}  // namespace selvane
