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
  bool sse;  // MXCSR exists only with SSE
  uint32_t mxcsr;
};

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
  saved.sse = ProcessorHasSse();
  if (saved.sse) asm volatile("stmxcsr %0" : "=m"(saved.mxcsr)::"memory");
  return saved;
}

// Puts it back, with an empty x87 register stack and no pending exception
// (fninit empties the stack and clears them).
inline void RestoreFloatingPointControl(const FloatingPointControl& saved) noexcept {
  asm volatile("fninit\n\tfldcw %0" ::"m"(saved.x87) : "memory");
  if (saved.sse) asm volatile("ldmxcsr %0" ::"m"(saved.mxcsr) : "memory");
}

}  // namespace selvane
