#include "hostile_behaviour.h"

#include <windows.h>

#include <cstring>

#include "vendor_double_api.h"

namespace {

// A frame of the same layout on every call, so that a record left in it by
// one call is overwritten by the next.
struct Scratch {
  volatile uintptr_t words[16];
};

EXCEPTION_DISPOSITION __cdecl PassOn(EXCEPTION_RECORD*, void*, CONTEXT*, void*) { return ExceptionContinueSearch; }

[[noreturn]] void RunOutOfStack() {
  // Pushes until the stack ends; the stack overflow never returns here.
  asm volatile("1: pushl $0\n\tjmp 1b" ::: "memory");
  __builtin_unreachable();
}

void WriteNull() { *static_cast<volatile int32_t*>(nullptr) = 1; }

}  // namespace

void ClobberFloatingPointState() {
  const uint16_t delphi = 0x1372;
  uint32_t mxcsr = 0;
  asm volatile("fldcw %0" ::"m"(delphi));
  asm volatile("stmxcsr %0" : "=m"(mxcsr));
  mxcsr &= ~0x1F80u;  // every SSE exception unmasked
  asm volatile("ldmxcsr %0" ::"m"(mxcsr));
  asm volatile("fld1\n\tfld1\n\tfld1" ::: "memory");  // left on the x87 stack
}

__attribute__((noinline)) void Hostile(int32_t behaviour, bool atIndex, uint8_t* setLevelBuffer) {
  Scratch scratch;
  if (!atIndex) {
    // The call after the trap was laid.
    if (behaviour == VENDOR_DOUBLE_CHAIN_LEFT_RECORD) {
      for (auto& w : scratch.words) w = 0xCCCCCCCCu;
      WriteNull();
    }
    if (behaviour == VENDOR_DOUBLE_CHAIN_GARBAGE) WriteNull();
    return;
  }
  switch (behaviour) {
    case VENDOR_DOUBLE_BREAKPOINT:
      asm volatile("int3");
      break;
    case VENDOR_DOUBLE_TRAP_FLAG:
      asm volatile("pushfl\n\torl $0x100, (%%esp)\n\tpopfl\n\tnop" ::: "cc", "memory");
      break;
    case VENDOR_DOUBLE_FP_STATE:
      ClobberFloatingPointState();
      break;
    case VENDOR_DOUBLE_FP_STACK_LEFT:
      asm volatile("fld1\n\tfld1" ::: "memory");
      break;
    case VENDOR_DOUBLE_STACK_OVERFLOW:
      RunOutOfStack();
    case VENDOR_DOUBLE_CHAIN_GARBAGE:
      asm volatile("movl $0x10, %%fs:0" ::: "memory");
      break;
    case VENDOR_DOUBLE_CHAIN_LEFT_RECORD: {
      // {previous, handler} in this frame, linked and never unlinked.
      volatile uintptr_t* record = &scratch.words[8];
      uintptr_t previous;
      asm volatile("movl %%fs:0, %0" : "=r"(previous));
      record[0] = previous;
      record[1] = reinterpret_cast<uintptr_t>(&PassOn);
      asm volatile("movl %0, %%fs:0" ::"r"(record) : "memory");
      break;
    }
    case VENDOR_DOUBLE_WRITE_UNIVERSE:
      if (setLevelBuffer) {
        uint8_t universe[512] = {};
        std::memcpy(universe, setLevelBuffer, 510);
        std::memcpy(setLevelBuffer, universe, sizeof universe);
      }
      break;
  }
}
