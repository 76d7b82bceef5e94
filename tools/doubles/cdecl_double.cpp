// A library whose OutDMX is exported with the wrong calling convention: cdecl
// leaves its arguments on the stack for the caller, where stdcall removes them.
#include <windows.h>

#include <cstdint>

#include "vendor_contract.h"

namespace {
volatile LONG g_calls = 0;
}

extern "C" {
selvane::vendor::Result __cdecl OutDMX(uint8_t, uint8_t) {
  InterlockedIncrement(&g_calls);
  return 1;
}
int32_t __stdcall CdeclDouble_CallCount() { return g_calls; }
}
