#pragma once
// The calling thread's floating-point control state, as a host's own
// arithmetic depends on it.
#include <cstdint>

struct FpState {
  uint16_t x87Control;
  uint16_t x87Tags;  // 0xFFFF: every x87 register empty
  uint32_t mxcsr;
};

inline FpState ReadFpState() {
  uint32_t environment[7] = {};
  FpState s{};
  asm volatile("fnstenv %0\n\tfldenv %0" : "+m"(environment));
  s.x87Control = static_cast<uint16_t>(environment[0]);
  s.x87Tags = static_cast<uint16_t>(environment[2]);
  asm volatile("stmxcsr %0" : "=m"(s.mxcsr));
  return s;
}
