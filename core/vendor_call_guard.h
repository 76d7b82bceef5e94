#pragma once
#include <cstdint>

// The assembly routines themselves (vendor_call_guard.cpp), cdecl as every
// extern "C" function here.
extern "C" {
int SelvaneCallEachChannel(const void* entry, const uint8_t* levels, int count, int16_t* outputActive);
int SelvaneCallOnce(const void* entry, uint32_t first, uint32_t second, int16_t* outputActive);
uint32_t SelvaneRunGuarded(void (*body)(void*), void* context);
}

namespace selvane {

// Calls into a vendor library that survive the library's own faults.
//
// mingw-w64 has no __try/__except for i686, so the guard is a few lines of
// assembly (vendor_call_guard.cpp): a frame-based exception handler linked
// into the thread's FS:[0] chain for the length of a tick, with a fixed
// resume point, and call loops that check the stack pointer after each
// vendor call and put the chain back. A frame handler costs a few stores per
// tick; an access check per call (IsBadReadPtr and the like) would neither
// catch a fault inside the library nor be cheap, and vectored handlers are
// process-wide and would see the host's exceptions too.

// Calls `entry`, a stdcall function of two 32-bit arguments, once per channel
// i < count in ascending order with (i, levels[i]), and stores each call's
// low word in `outputActive` straight away; a zero does not end the loop.
// After each call FS:[0] is put back to what it was before it. Returns false
// when a call did not leave the stack pointer where a stdcall callee must (an
// entry point exported as cdecl, say): the stack pointer has then been put
// back, and no further call is made.
inline bool CallEachChannel(const void* entry, const uint8_t* levels, int count, int16_t& outputActive) noexcept {
  return SelvaneCallEachChannel(entry, levels, count, &outputActive) != 0;
}

// The same for one call of `entry` with (first, second).
inline bool CallOnce(const void* entry, uint32_t first, uint32_t second, int16_t& outputActive) noexcept {
  return SelvaneCallOnce(entry, first, second, &outputActive) != 0;
}

// Runs `body(context)` under a frame-based exception handler. Returns 0, or
// the code of the exception that ended it: an error (access violation,
// illegal instruction, division by zero, stack overflow and the like), or a
// breakpoint or single-step trap while no debugger is attached. The frames
// inside have then been unwound and abandoned, so `body` must hold nothing
// that needs freeing.
inline uint32_t RunGuarded(void (*body)(void*), void* context) noexcept { return SelvaneRunGuarded(body, context); }

// After a stack overflow has been recovered from: a guard page again below
// the current stack pointer, as _resetstkoflw makes, so that the next
// overflow is reported as one. Returns false when there is no room for it.
bool RestoreStackGuard() noexcept;

}  // namespace selvane
