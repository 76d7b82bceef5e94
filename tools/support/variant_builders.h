#pragma once
// Arguments and results of late-bound calls, as hosts and script engines
// build and clean them up.
#include <windows.h>
#include <oleauto.h>

inline VARIANT I2(SHORT v) {
  VARIANT x;
  VariantInit(&x);
  V_VT(&x) = VT_I2;
  V_I2(&x) = v;
  return x;
}

inline VARIANT I4(LONG v) {
  VARIANT x;
  VariantInit(&x);
  V_VT(&x) = VT_I4;
  V_I4(&x) = v;
  return x;
}

// A string argument by value; the caller keeps owning `b`.
inline VARIANT Bstr(BSTR b) {
  VARIANT x;
  VariantInit(&x);
  V_VT(&x) = VT_BSTR;
  V_BSTR(&x) = b;
  return x;
}

inline VARIANT I4Ref(LONG* target) {
  VARIANT x;
  VariantInit(&x);
  V_VT(&x) = VT_BYREF | VT_I4;
  V_I4REF(&x) = target;
  return x;
}

// What a script engine passes for a variable: a reference to its variant.
inline VARIANT VariantRef(VARIANT* target) {
  VARIANT x;
  VariantInit(&x);
  V_VT(&x) = VT_BYREF | VT_VARIANT;
  V_VARIANTREF(&x) = target;
  return x;
}

// Frees the strings of an exception record that Invoke filled, and empties it.
inline void ClearExcepInfo(EXCEPINFO& exception) {
  SysFreeString(exception.bstrSource);
  SysFreeString(exception.bstrDescription);
  SysFreeString(exception.bstrHelpFile);
  exception = EXCEPINFO{};
}
