#include "vendor_call_guard.h"

#include <windows.h>

// The exception registration record that RunGuarded pushes on the stack:
//   +0 the previous record (FS:[0] before), +4 the handler, +8 RunGuarded's EBP.
// The record's own address is the stack pointer to resume with.
struct SelvaneGuardRecord {
  SelvaneGuardRecord* previous;
  void* handler;
  uint32_t framePointer;
};

extern "C" {
int __cdecl SelvaneRunGuarded(void (*body)(void*), void* context);
[[noreturn]] void __cdecl SelvaneGuardAbandon(SelvaneGuardRecord* record);
EXCEPTION_DISPOSITION __cdecl SelvaneGuardHandler(EXCEPTION_RECORD* exception, void* frame, CONTEXT* context,
                                                  void* dispatcher);
}

// ESI is callee-saved in both stdcall and cdecl, so it still holds the stack
// pointer from before the arguments were pushed when the callee returns.
asm(R"(
    .text
    .globl _SelvaneCallStdcall2
    .def _SelvaneCallStdcall2; .scl 2; .type 32; .endef
_SelvaneCallStdcall2:
    pushl %esi
    movl  %esp, %esi
    pushl 16(%esi)
    pushl 12(%esi)
    call  *8(%esi)
    movl  20(%esi), %ecx
    movl  %eax, (%ecx)
    xorl  %eax, %eax
    cmpl  %esi, %esp
    sete  %al
    movl  %esi, %esp
    popl  %esi
    ret

    .globl _SelvaneRunGuarded
    .def _SelvaneRunGuarded; .scl 2; .type 32; .endef
_SelvaneRunGuarded:
    pushl %ebp
    movl  %esp, %ebp
    pushl %ebx
    pushl %esi
    pushl %edi
    subl  $12, %esp
    movl  %fs:0, %eax
    movl  %eax, 0(%esp)
    movl  $_SelvaneGuardHandler, 4(%esp)
    movl  %ebp, 8(%esp)
    movl  %esp, %fs:0
    pushl 12(%ebp)
    call  *8(%ebp)
    addl  $4, %esp
    movl  $1, %eax
    jmp   1f
_SelvaneGuardResume:
    cld
    xorl  %eax, %eax
1:
    movl  0(%esp), %ecx
    movl  %ecx, %fs:0
    addl  $12, %esp
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

extern "C" EXCEPTION_DISPOSITION __cdecl SelvaneGuardHandler(EXCEPTION_RECORD* exception, void* frame, CONTEXT*,
                                                             void*) {
  if (exception->ExceptionFlags & (EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND)) return ExceptionContinueSearch;
  // Only errors: informational and warning codes (debug output, for one)
  // belong to whoever raised them.
  if ((exception->ExceptionCode >> 30) != 3) return ExceptionContinueSearch;
  // Let the library's own frames run their termination handlers, as a
  // __except block would, then leave them behind.
  RtlUnwind(frame, nullptr, exception, nullptr);
  SelvaneGuardAbandon(static_cast<SelvaneGuardRecord*>(frame));
}

namespace selvane {

bool RunGuarded(void (*body)(void*), void* context) noexcept { return SelvaneRunGuarded(body, context) != 0; }

}  // namespace selvane
