#pragma once
#include <windows.h>

namespace selvane {

// What a failing method was doing, for the description the host shows.
enum class FailureContext { Channel, LoadSetting, SaveSetting, Window, Other };

// Publishes rich error information for a failed call (source
// "Selvane.clsOutputDriver", a German description) and returns `hr` unchanged.
HRESULT ReportFailure(HRESULT hr, FailureContext context) noexcept;

// Clears the thread's error information after a successful call, so that a
// host never reads a stale error.
void ClearErrorInfo() noexcept;

}  // namespace selvane
