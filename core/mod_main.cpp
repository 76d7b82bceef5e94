#include "mod_main.h"

#include <windows.h>

#include <atomic>
#include <new>

namespace selvane {
namespace {

std::atomic<DWORD> g_tlsIndex{TLS_OUT_OF_INDEXES};

DWORD TlsIndex() noexcept {
  DWORD index = g_tlsIndex.load(std::memory_order_acquire);
  if (index != TLS_OUT_OF_INDEXES) return index;
  const DWORD fresh = TlsAlloc();
  if (fresh == TLS_OUT_OF_INDEXES) return fresh;
  DWORD expected = TLS_OUT_OF_INDEXES;
  if (!g_tlsIndex.compare_exchange_strong(expected, fresh, std::memory_order_acq_rel)) {
    TlsFree(fresh);  // another thread won the race
    return expected;
  }
  return fresh;
}

}  // namespace

ThreadState* CurrentThreadState() noexcept {
  const DWORD index = TlsIndex();
  if (index == TLS_OUT_OF_INDEXES) return nullptr;
  auto* state = static_cast<ThreadState*>(TlsGetValue(index));
  if (state) return state;
  state = new (std::nothrow) ThreadState();
  if (state && !TlsSetValue(index, state)) {
    delete state;
    return nullptr;
  }
  return state;
}

void ReleaseCurrentThreadState() noexcept {
  const DWORD index = g_tlsIndex.load(std::memory_order_acquire);
  if (index == TLS_OUT_OF_INDEXES) return;
  auto* state = static_cast<ThreadState*>(TlsGetValue(index));
  if (!state) return;
  TlsSetValue(index, nullptr);
  delete state;
}

void ReleaseThreadStateSlot() noexcept {
  const DWORD index = g_tlsIndex.exchange(TLS_OUT_OF_INDEXES, std::memory_order_acq_rel);
  if (index != TLS_OUT_OF_INDEXES) TlsFree(index);
}

}  // namespace selvane
