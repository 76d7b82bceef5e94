#pragma once
// Arguments and results of late-bound calls, as hosts and script engines
// build and clean them up.
#include <windows.h>
#include <oleauto.h>

// A variant of `type` whose value `set` fills in.
template <typename Set>
VARIANT MakeVariant(VARTYPE type, Set set) {
  VARIANT x;
  VariantInit(&x);
  V_VT(&x) = type;
  set(x);
  return x;
}

inline VARIANT I2(SHORT v) { return MakeVariant(VT_I2, [v](VARIANT& x) { V_I2(&x) = v; }); }
inline VARIANT I4(LONG v) { return MakeVariant(VT_I4, [v](VARIANT& x) { V_I4(&x) = v; }); }
// A string argument by value; the caller keeps owning `b`.
inline VARIANT Bstr(BSTR b) { return MakeVariant(VT_BSTR, [b](VARIANT& x) { V_BSTR(&x) = b; }); }
inline VARIANT I4Ref(LONG* target) {
  return MakeVariant(VT_BYREF | VT_I4, [target](VARIANT& x) { V_I4REF(&x) = target; });
}
// What a script engine passes for a variable: a reference to its variant.
inline VARIANT VariantRef(VARIANT* target) {
  return MakeVariant(VT_BYREF | VT_VARIANT, [target](VARIANT& x) { V_VARIANTREF(&x) = target; });
}

// Frees the strings of an exception record that Invoke filled, and empties it.
inline void ClearExcepInfo(EXCEPINFO& exception) {
  SysFreeString(exception.bstrSource);
  SysFreeString(exception.bstrDescription);
  SysFreeString(exception.bstrHelpFile);
  exception = EXCEPINFO{};
}
