#pragma once
#include <cstdint>

namespace selvane {

// Error numbers of the automation runtime that the plug-in reports to its host.
enum class AutomationError : int32_t {
  None = 0,
  InvalidProcedureCall = 5,
  Overflow = 6,
  SubscriptOutOfRange = 9,
  TypeMismatch = 13,
};

// A failed HRESULT that carries an automation error number (severity error,
// FACILITY_CONTROL), the form in which hosts receive it, e.g. 0x800A0009.
constexpr uint32_t AutomationHresult(AutomationError error) {
  return 0x800A0000u | static_cast<uint32_t>(error);
}

}  // namespace selvane
