#pragma once
// Control interface of our stand-ins for the interface maker's DMX60.dll,
// DMX120.dll and DMX510.dll. A test in the same process reads the call log
// back and sets what each call returns.
#include <cstdint>

struct VendorDoubleCall {
  uint32_t threadId;
  int32_t index;          // OutDMX: channel index; SetLevel: -1
  int32_t level;          // OutDMX: level; SetLevel: -1
  uintptr_t address;      // SetLevel: the buffer address passed
  int32_t count;          // SetLevel: the count passed
  int32_t result;         // what the call returned
  double timeMs;          // QueryPerformanceCounter time of the call, in ms
  uint8_t levels[16];     // SetLevel: the first 16 levels seen at `address`
  uint32_t levelSum;      // SetLevel: sum of the 510 bytes at `address`
};

// How the double misbehaves inside its call, as maker's libraries do.
#define VENDOR_DOUBLE_BEHAVE_WELL 0
#define VENDOR_DOUBLE_PUMP_MESSAGES 1  // pumps the thread's messages for a while
#define VENDOR_DOUBLE_MESSAGE_BOX 2    // shows a message box until someone closes it
#define VENDOR_DOUBLE_WRITE_NULL 3     // writes through a null pointer
// Hostile libraries, as old debug builds and Delphi-built drivers behave:
#define VENDOR_DOUBLE_BREAKPOINT 4         // executes int3 (a leftover DebugBreak)
#define VENDOR_DOUBLE_TRAP_FLAG 5          // sets the trap flag (single-step)
// x87 control word 0x1372, SSE exceptions unmasked, values left on the x87 stack:
#define VENDOR_DOUBLE_FP_STATE 6
#define VENDOR_DOUBLE_STACK_OVERFLOW 7     // runs out of stack
#define VENDOR_DOUBLE_CHAIN_GARBAGE 8      // returns with FS:[0] set to garbage; the next call faults
// returns with its own record on FS:[0]; the next call overwrites it and faults:
#define VENDOR_DOUBLE_CHAIN_LEFT_RECORD 9
#define VENDOR_DOUBLE_WRITE_UNIVERSE 10    // SetLevel: writes a whole 512-slot universe at the address
#define VENDOR_DOUBLE_FP_STACK_LEFT 11     // leaves values on the x87 stack, the control words as they were
#define VENDOR_DOUBLE_MESSAGE_BOX_TITLE L"Selvane Vendor Double"

extern "C" {
// Clears the log, the results, the delay and the counters; logging is on again.
typedef void(__stdcall* VendorDouble_Reset_t)();
// What a call for `index` returns from now on; index -1 sets the default.
// For SetLevel, the index is ignored and the default is used.
typedef void(__stdcall* VendorDouble_SetResult_t)(int32_t index, int32_t result);
// Every call returns 0 once `frames` frames have been received (-1: never).
typedef void(__stdcall* VendorDouble_SetZeroAfterFrames_t)(int32_t frames);
// Each call sleeps this long before returning.
typedef void(__stdcall* VendorDouble_SetDelayMs_t)(int32_t milliseconds);
// Whether calls are logged (the benchmark turns it off).
typedef void(__stdcall* VendorDouble_SetLogging_t)(int32_t enabled);
typedef int32_t(__stdcall* VendorDouble_CallCount_t)();
typedef int32_t(__stdcall* VendorDouble_FrameCount_t)();
// Copies log entry `n` to `call`; returns 0 when there is no such entry.
typedef int32_t(__stdcall* VendorDouble_GetCall_t)(int32_t n, VendorDoubleCall* call);
// Copies the 510 levels most recently received (by channel index) to `levels510`.
typedef void(__stdcall* VendorDouble_LastFrame_t)(uint8_t* levels510);
// From now on, the call for channel `index` (OutDMX) or every call (SetLevel)
// misbehaves as `behaviour` says, pumping for `milliseconds` where it pumps.
typedef void(__stdcall* VendorDouble_SetBehaviour_t)(int32_t behaviour, int32_t index, int32_t milliseconds);
// The most calls ever in progress at once, and how far apart (bytes) the
// stack pointers were that calls started with, since the last Reset.
typedef void(__stdcall* VendorDouble_Nesting_t)(int32_t* maxDepth, int32_t* stackSpan);
}
