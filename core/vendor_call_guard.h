#pragma once
#include <cstdint>

// The call thunk itself (vendor_call_guard.cpp), cdecl as every extern "C" function here.
extern "C" int SelvaneCallStdcall2(const void* entry, uint32_t first, uint32_t second, uint32_t* result);

namespace selvane {

// Calls into a vendor library that survive the library's own faults.
//
// mingw-w64 has no __try/__except for i686, so the guard is a few lines of
// assembly (vendor_call_guard.cpp): a frame-based exception handler linked
// into the thread's FS:[0] chain for the length of a tick, with a fixed
// resume point, and a call thunk that checks the stack pointer after each
// vendor call. A frame handler costs two stores per tick; an access check per
// call (IsBadReadPtr and the like) would neither catch a fault inside the
// library nor be cheap, and vectored handlers are process-wide and would see
// the host's exceptions too.

// Calls `entry` as a stdcall function of two 32-bit arguments and stores its
// return register in `result`. Returns false when the callee did not leave
// the stack pointer where a stdcall callee must (an entry point exported as
// cdecl, say); the stack pointer has then been put back.
// Inline: it runs once per channel of a tick, and the thunk is call enough.
inline bool CallStdcall2(const void* entry, uint32_t first, uint32_t second, uint32_t& result) noexcept {
  return SelvaneCallStdcall2(entry, first, second, &result) != 0;
}

// Runs `body(context)` under a frame-based exception handler. Returns false
// when a hardware exception (access violation, illegal instruction, division
// by zero and the like) ended it: the frames inside have been unwound and
// abandoned, so `body` must hold nothing that needs freeing.
bool RunGuarded(void (*body)(void*), void* context) noexcept;

}  // namespace selvane
