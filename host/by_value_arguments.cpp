#include "by_value_arguments.h"

#include <oleauto.h>

namespace selvane {
namespace {

// Variants that refer to variants that refer to ... are followed this far.
constexpr int kMaxIndirections = 8;

HRESULT CopyByValue(const VARIANT& source, VARIANT& target) {
  const VARIANT* v = &source;
  for (int depth = 0; V_VT(v) == (VT_BYREF | VT_VARIANT); ++depth) {
    if (!V_VARIANTREF(v) || depth == kMaxIndirections) return DISP_E_TYPEMISMATCH;
    v = V_VARIANTREF(v);
  }
  if (V_VT(v) & VT_BYREF) {
    if (!V_BYREF(v)) return DISP_E_TYPEMISMATCH;
    return VariantCopyInd(&target, const_cast<VARIANT*>(v));
  }
  return VariantCopy(&target, const_cast<VARIANT*>(v));
}

}  // namespace

ByValueArguments::~ByValueArguments() {
  for (UINT i = 0; i < count_; ++i) VariantClear(&args_[i]);
}

HRESULT ByValueArguments::CopyFrom(const DISPPARAMS& source, UINT* argError) noexcept {
  if (source.cArgs > 0 && !source.rgvarg) return E_INVALIDARG;
  if (source.cNamedArgs > source.cArgs || (source.cNamedArgs > 0 && !source.rgdispidNamedArgs))
    return E_INVALIDARG;
  if (source.cArgs > kInlineArguments) {
    heap_.reset(HeapAlloc(GetProcessHeap(), 0, source.cArgs * sizeof(VARIANT)));
    if (!heap_) return E_OUTOFMEMORY;
    args_ = static_cast<VARIANT*>(heap_.get());
  }
  count_ = source.cArgs;
  for (UINT i = 0; i < count_; ++i) VariantInit(&args_[i]);
  for (UINT i = 0; i < source.cArgs; ++i) {
    if (HRESULT hr = CopyByValue(source.rgvarg[i], args_[i]); FAILED(hr)) {
      if (argError) *argError = i;
      return hr;
    }
  }
  params_.rgvarg = count_ == 0 ? nullptr : args_;
  params_.cArgs = source.cArgs;
  params_.rgdispidNamedArgs = source.rgdispidNamedArgs;  // read only
  params_.cNamedArgs = source.cNamedArgs;
  return S_OK;
}

}  // namespace selvane
