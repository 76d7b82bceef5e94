#pragma once
#include <cstdint>

// What hostile maker's libraries do to the thread that calls them: the
// VENDOR_DOUBLE_* behaviours from VENDOR_DOUBLE_BREAKPOINT on. `atIndex` is
// the call the behaviour is set for; the call after it is where the
// behaviours that leave a trap behind spring it.
void Hostile(int32_t behaviour, bool atIndex, uint8_t* setLevelBuffer);

// The x87 and SSE state of a Delphi-built library (VENDOR_DOUBLE_FP_STATE).
void ClobberFloatingPointState();
