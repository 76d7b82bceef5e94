#pragma once
#include <windows.h>

#include <atomic>
#include <cstdint>

namespace selvane {

// The floating-point control state a host's own arithmetic relies on: the
// x87 control word and MXCSR. Libraries built with Delphi set their own (the
// x87 word to 0x1372, say, which unmasks exceptions), and some leave values
// on the x87 register stack. Inline: it brackets every tick.
struct FloatingPointControl {
  uint16_t x87;
  uint16_t x87Status;  // X87Status(): stack top, whether ST(0) is empty, exception flags
  bool sse;  // MXCSR exists only with SSE
  uint32_t mxcsr;
};

// The parts of the x87 status word that tell a clean stack from one with
// values left on it: the stack top and fxam's class of ST(0) (C3, C2, C0:
// empty or not), with the exception flags. Leaves out C1 (the sign fxam reports).
inline constexpr uint16_t kX87StateBits = 0x7DFF;

inline uint16_t X87Status() noexcept {
  uint16_t status;
  asm volatile("fxam\n\tfnstsw %0" : "=m"(status)::"memory");
  return static_cast<uint16_t>(status & kX87StateBits);
}

// Whether the processor has SSE, found out once; threads that race here agree.
inline constinit std::atomic<int> g_processorHasSse{-1};

inline bool ProcessorHasSse() noexcept {
  int has = g_processorHasSse.load(std::memory_order_relaxed);
  if (has < 0) {
    has = IsProcessorFeaturePresent(PF_XMMI_INSTRUCTIONS_AVAILABLE) ? 1 : 0;
    g_processorHasSse.store(has, std::memory_order_relaxed);
  }
  return has != 0;
}

inline FloatingPointControl SaveFloatingPointControl() noexcept {
  FloatingPointControl saved{};
  asm volatile("fnstcw %0" : "=m"(saved.x87)::"memory");
  saved.x87Status = X87Status();
  saved.sse = ProcessorHasSse();
  if (saved.sse) asm volatile("stmxcsr %0" : "=m"(saved.mxcsr)::"memory");
  return saved;
}

// Puts it back, with an empty x87 register stack and no pending exception
// (fninit empties the stack and clears them). A library that left all of it
// as it was, as nearly all do, costs three reads and no write: fninit and the
// loads are the dear part, and they would also clear the host's own flags.
inline void RestoreFloatingPointControl(const FloatingPointControl& saved) noexcept {
  uint16_t x87;
  asm volatile("fnstcw %0" : "=m"(x87)::"memory");
  uint32_t mxcsr = saved.mxcsr;
  if (saved.sse) asm volatile("stmxcsr %0" : "=m"(mxcsr)::"memory");
  if (x87 == saved.x87 && mxcsr == saved.mxcsr && X87Status() == saved.x87Status) return;
  asm volatile("fninit\n\tfldcw %0" ::"m"(saved.x87) : "memory");
  if (saved.sse) asm volatile("ldmxcsr %0" ::"m"(saved.mxcsr) : "memory");
}

}  // namespace selvane
