// The guard's handling of breakpoints, with and without a debugger: the
// host's own frame handler, outside the guard, stands for the debugger.
#include <windows.h>

#include <gtest/gtest.h>

#include "vendor_call_guard.h"

namespace {

DWORD g_hostSaw = 0;

// What a debugger does with a breakpoint: notes it and resumes past the int3.
EXCEPTION_DISPOSITION __cdecl HostHandler(EXCEPTION_RECORD* exception, void*, CONTEXT* context, void*) {
  if (exception->ExceptionFlags & (EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND)) return ExceptionContinueSearch;
  if (exception->ExceptionCode != EXCEPTION_BREAKPOINT) return ExceptionContinueSearch;
  g_hostSaw = exception->ExceptionCode;
  const auto* at = static_cast<const uint8_t*>(exception->ExceptionAddress);
  context->Eip = reinterpret_cast<DWORD>(*at == 0xCC ? at + 1 : at);
  return ExceptionContinueExecution;
}

// RunGuarded with the host's handler linked outside it.
uint32_t RunUnderHostHandler(void (*body)(void*), void* context) {
  struct {
    void* previous;
    void* handler;
  } record{nullptr, reinterpret_cast<void*>(&HostHandler)};
  asm volatile("movl %%fs:0, %0" : "=r"(record.previous));
  asm volatile("movl %0, %%fs:0" ::"r"(&record) : "memory");
  const uint32_t fault = selvane::RunGuarded(body, context);
  asm volatile("movl %0, %%fs:0" ::"r"(record.previous) : "memory");
  return fault;
}

void Breakpoint(void* ranOn) {
  asm volatile("int3" ::: "memory");
  *static_cast<volatile bool*>(ranOn) = true;
}

// IsDebuggerPresent reads the process's BeingDebugged flag.
void SetBeingDebugged(bool on) {
  uint8_t* peb = nullptr;
  asm("movl %%fs:0x30, %0" : "=r"(peb));
  peb[2] = on ? 1 : 0;
}

}  // namespace

TEST(VendorCallGuard, BreakpointIsAFaultWithoutADebuggerAndGoesToTheDebuggerWithOne) {
  ASSERT_FALSE(IsDebuggerPresent());
  bool ranOn = false;
  g_hostSaw = 0;
  EXPECT_EQ(RunUnderHostHandler(&Breakpoint, &ranOn), static_cast<uint32_t>(EXCEPTION_BREAKPOINT));
  EXPECT_FALSE(ranOn) << "the guard ends the body at the breakpoint";
  EXPECT_EQ(g_hostSaw, 0u);

  SetBeingDebugged(true);
  ASSERT_TRUE(IsDebuggerPresent());
  ranOn = false;
  const uint32_t fault = RunUnderHostHandler(&Breakpoint, &ranOn);
  SetBeingDebugged(false);
  EXPECT_EQ(fault, 0u);
  EXPECT_EQ(g_hostSaw, static_cast<DWORD>(EXCEPTION_BREAKPOINT)) << "passed on to the debugger";
  EXPECT_TRUE(ranOn) << "the debugger resumed the body";
}
