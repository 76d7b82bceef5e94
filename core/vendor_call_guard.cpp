#include "vendor_call_guard.h"

#include <windows.h>

// The exception registration record that RunGuarded pushes on the stack:
//   +0 the previous record (FS:[0] before), +4 the handler, +8 RunGuarded's EBP,
//   +12 the code of the exception that ended the body (0 while none).
// The record's own address is the stack pointer to resume with.
struct SelvaneGuardRecord {
  SelvaneGuardRecord* previous;
  void* handler;
  uint32_t framePointer;
  uint32_t exceptionCode;
};

extern "C" {
[[noreturn]] void __cdecl SelvaneGuardAbandon(SelvaneGuardRecord* record);
EXCEPTION_DISPOSITION __cdecl SelvaneGuardHandler(EXCEPTION_RECORD* exception, void* frame, CONTEXT* context,
                                                  void* dispatcher);
}

// The call loops keep the stack pointer that each call must return with in
// EBX and the pointer to OutputActive in EBP, both callee-saved in stdcall
// and cdecl alike; the FS:[0] to put back after each call is pushed just
// below the saved registers, at 0(%ebx). VENDOR_CALL_RETURNED stores the low
// word of the result, puts the chain back and compares the stack pointer.
asm(R"(
    .macro VENDOR_CALL_RETURNED
    movw  %ax, (%ebp)
    movl  (%ebx), %ecx
    movl  %ecx, %fs:0
    cmpl  %ebx, %esp
    .endm

    .text
    .globl _SelvaneCallEachChannel
    .def _SelvaneCallEachChannel; .scl 2; .type 32; .endef
_SelvaneCallEachChannel:
    pushl %ebp
    pushl %ebx
    pushl %esi
    pushl %edi
    pushl %fs:0
    movl  %esp, %ebx
    movl  28(%ebx), %edi
    movl  36(%ebx), %ebp
    xorl  %esi, %esi
    cmpl  32(%ebx), %esi
    jge   2f
1:
    movzbl (%edi,%esi), %eax
    pushl %eax
    pushl %esi
    call  *24(%ebx)
    VENDOR_CALL_RETURNED
    jne   3f
    incl  %esi
    cmpl  32(%ebx), %esi
    jl    1b
2:
    movl  $1, %eax
    jmp   4f
3:
    movl  %ebx, %esp
    xorl  %eax, %eax
4:
    addl  $4, %esp
    popl  %edi
    popl  %esi
    popl  %ebx
    popl  %ebp
    ret

    .globl _SelvaneCallOnce
    .def _SelvaneCallOnce; .scl 2; .type 32; .endef
_SelvaneCallOnce:
    pushl %ebp
    pushl %ebx
    pushl %fs:0
    movl  %esp, %ebx
    movl  28(%ebx), %ebp
    pushl 24(%ebx)
    pushl 20(%ebx)
    call  *16(%ebx)
    VENDOR_CALL_RETURNED
    sete  %al
    movzbl %al, %eax
    movl  %ebx, %esp
    addl  $4, %esp
    popl  %ebx
    popl  %ebp
    ret

    .globl _SelvaneRunGuarded
    .def _SelvaneRunGuarded; .scl 2; .type 32; .endef
_SelvaneRunGuarded:
    pushl %ebp
    movl  %esp, %ebp
    pushl %ebx
    pushl %esi
    pushl %edi
    subl  $16, %esp
    movl  %fs:0, %eax
    movl  %eax, 0(%esp)
    movl  $_SelvaneGuardHandler, 4(%esp)
    movl  %ebp, 8(%esp)
    movl  $0, 12(%esp)
    movl  %esp, %fs:0
    pushl 12(%ebp)
    call  *8(%ebp)
    addl  $4, %esp
_SelvaneGuardResume:
    cld
    movl  12(%esp), %eax
    movl  0(%esp), %ecx
    movl  %ecx, %fs:0
    addl  $16, %esp
    popl  %edi
    popl  %esi
    popl  %ebx
    popl  %ebp
    ret

    .globl _SelvaneGuardAbandon
    .def _SelvaneGuardAbandon; .scl 2; .type 32; .endef
_SelvaneGuardAbandon:
    movl  4(%esp), %ecx
    movl  8(%ecx), %ebp
    movl  %ecx, %esp
    jmp   _SelvaneGuardResume
)");

namespace {

bool IsFaultOfTheLibrary(DWORD code) {
  // Errors. Informational and warning codes (debug output, for one) belong
  // to whoever raised them.
  if ((code >> 30) == 3) return true;
  // A leftover int3 or a trap flag left set: with no debugger attached nobody
  // else will handle them, and the host would die.
  if (code == EXCEPTION_BREAKPOINT || code == EXCEPTION_SINGLE_STEP) return !IsDebuggerPresent();
  return false;
}

}  // namespace

extern "C" EXCEPTION_DISPOSITION __cdecl SelvaneGuardHandler(EXCEPTION_RECORD* exception, void* frame, CONTEXT*,
                                                             void*) {
  if (exception->ExceptionFlags & (EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND)) return ExceptionContinueSearch;
  if (!IsFaultOfTheLibrary(exception->ExceptionCode)) return ExceptionContinueSearch;
  auto* record = static_cast<SelvaneGuardRecord*>(frame);
  record->exceptionCode = exception->ExceptionCode;
  // Let the library's own frames run their termination handlers, as a
  // __except block would, then leave them behind.
  RtlUnwind(frame, nullptr, exception, nullptr);
  SelvaneGuardAbandon(record);
}

namespace selvane {
namespace {

uintptr_t RoundUp(uintptr_t n, uintptr_t page) { return (n + page - 1) & ~(page - 1); }

}  // namespace

bool RestoreStackGuard() noexcept {
  volatile uint8_t here = 0;
  const uintptr_t stackPointer = reinterpret_cast<uintptr_t>(&here);
  NT_TIB* tib = nullptr;
  asm("movl %%fs:0x18, %0" : "=r"(tib));  // the TIB's own address
  MEMORY_BASIC_INFORMATION stack;
  if (!VirtualQuery(const_cast<uint8_t*>(&here), &stack, sizeof stack)) return false;
  SYSTEM_INFO system;
  GetSystemInfo(&system);
  const uintptr_t page = system.dwPageSize;
  ULONG guaranteed = 0;  // 0 asks for the thread's current guarantee
  if (!SetThreadStackGuarantee(&guaranteed)) guaranteed = 0;
  // Below the guard page stay the page that is never committed and the
  // reserve the system hands out to handle the overflow.
  const uintptr_t lowest = reinterpret_cast<uintptr_t>(stack.AllocationBase) + page +
                           RoundUp(guaranteed > page ? guaranteed : page, page);
  const uintptr_t guard = (stackPointer & ~(page - 1)) - page;
  if (guard < lowest || stackPointer >= reinterpret_cast<uintptr_t>(tib->StackBase)) return false;
  void* guardPage = reinterpret_cast<void*>(guard);
  if (!VirtualAlloc(guardPage, page, MEM_COMMIT, PAGE_READWRITE)) return false;
  // The limit first: the system moves it down again when the guard page is touched.
  tib->StackLimit = reinterpret_cast<void*>(guard + page);
  DWORD previous = 0;
  return VirtualProtect(guardPage, page, PAGE_READWRITE | PAGE_GUARD, &previous) != 0;
}

}  // namespace selvane
