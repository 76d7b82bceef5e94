#pragma once
#include <windows.h>
#include <oaidl.h>

#include <vector>

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
  std::vector<VARIANT> args_;
  DISPPARAMS params_{};
};

}  // namespace selvane
