#pragma once
// Late-bound calls as a host or script engine makes them: by name through
// IDispatch, with the arguments in DISPPARAMS order (last argument first).
#include <windows.h>
#include <oleauto.h>

#include <string>
#include <vector>

#include "variant_builders.h"

struct DispatchOutcome {
  HRESULT hr = E_FAIL;
  VARIANT result;
  EXCEPINFO exception{};
  UINT argError = UINT(-1);
  DispatchOutcome() { VariantInit(&result); }
  ~DispatchOutcome() {
    VariantClear(&result);
    ClearExcepInfo(exception);
  }
  DispatchOutcome(const DispatchOutcome&) = delete;
  DispatchOutcome& operator=(const DispatchOutcome&) = delete;
  std::wstring Description() const {
    return exception.bstrDescription ? exception.bstrDescription : L"";
  }
  std::wstring Source() const { return exception.bstrSource ? exception.bstrSource : L""; }
};

inline DISPID DispidOf(IDispatch* object, const wchar_t* name) {
  DISPID id = DISPID_UNKNOWN;
  LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
  object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
  return id;
}

// `args` in source order (first parameter first); they are reversed here.
inline void Invoke(IDispatch* object, DISPID id, std::vector<VARIANT> args, DispatchOutcome& out,
                   WORD flags = DISPATCH_METHOD) {
  std::vector<VARIANT> reversed(args.rbegin(), args.rend());
  DISPPARAMS params{reversed.empty() ? nullptr : reversed.data(), nullptr,
                    static_cast<UINT>(reversed.size()), 0};
  out.hr = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, &out.result,
                          &out.exception, &out.argError);
}

// DllCanUnloadNow of the Selvane.out.dll loaded in this process (E_FAIL when none is).
inline HRESULT CanUnloadNow() {
  using Fn = HRESULT(STDAPICALLTYPE*)();
  HMODULE module = GetModuleHandleW(L"Selvane.out.dll");
  if (!module) return E_FAIL;
  auto fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, "DllCanUnloadNow")));
  return fn ? fn() : E_FAIL;
}

// A new object of the registered server, created by ProgID as hosts do.
inline HRESULT CreateByProgId(IDispatch** object) {
  CLSID clsid;
  if (HRESULT hr = CLSIDFromProgID(L"Selvane.clsOutputDriver", &clsid); FAILED(hr)) return hr;
  return CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, reinterpret_cast<void**>(object));
}
