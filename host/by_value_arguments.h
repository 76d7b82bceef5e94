#pragma once
#include <windows.h>
#include <oaidl.h>

#include "unique_any.h"


namespace selvane {

// A private copy of a caller's DISPPARAMS in which every argument is by value.
// Script hosts pass variables as VT_BYREF|VT_VARIANT, which the type library's
// Invoke refuses; our methods only ever read their parameters, so a by-value
// copy is equivalent, and the caller's variables and DISPPARAMS stay untouched.
class ByValueArguments {
 public:
  ByValueArguments() = default;
  ~ByValueArguments();
  ByValueArguments(const ByValueArguments&) = delete;
  ByValueArguments& operator=(const ByValueArguments&) = delete;

  // On failure `argError` names the argument (in DISPPARAMS order).
  HRESULT CopyFrom(const DISPPARAMS& source, UINT* argError) noexcept;
  DISPPARAMS* Params() noexcept { return &params_; }

 private:
  // The methods take two arguments; more are copied to the heap, for the
  // type library to refuse.
  static constexpr UINT kInlineArguments = 4;
  VARIANT inline_[kInlineArguments];
  unique_process_heap heap_;
  VARIANT* args_ = inline_;
  UINT count_ = 0;
  DISPPARAMS params_{};
};

}  // namespace selvane
