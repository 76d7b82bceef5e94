#pragma once
#include <windows.h>

#include "automation_error.h"

namespace selvane {

// A failed HRESULT that carries an automation error number (severity error,
// FACILITY_CONTROL), the form in which hosts receive it, e.g. 0x800A0009.
constexpr HRESULT AutomationHresult(AutomationError error) {
  return MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, static_cast<uint32_t>(error));
}

}  // namespace selvane
