#pragma once
#include <cstdint>

namespace selvane {

// Error numbers of the automation runtime that the plug-in reports to its host
// (as HRESULTs, see host/automation_hresult.h).
enum class AutomationError : int32_t {
  None = 0,
  InvalidProcedureCall = 5,
  Overflow = 6,
  SubscriptOutOfRange = 9,
  TypeMismatch = 13,
};

}  // namespace selvane
