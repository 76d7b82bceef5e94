#pragma once
#include "transmit_tick.h"

#ifdef _WIN32
#define SELVANE_NO_OP_CALL __stdcall
#else
#define SELVANE_NO_OP_CALL
#endif

// An entry point that succeeds at once and does nothing, with the vendor
// entries' shape.
inline uint32_t SELVANE_NO_OP_CALL NoOpEntry(uint32_t, uint32_t) { return 1; }

// A vendor whose every call goes to NoOpEntry by a plain indirect call: what
// a tick costs by itself.
struct NoOpVendor final : selvane::VendorPort {
  // Read through volatile, so that the compiler cannot inline the call away.
  uint32_t(SELVANE_NO_OP_CALL* volatile entry)(uint32_t, uint32_t) = &NoOpEntry;

  bool OutDmx(selvane::InterfaceType, const uint8_t* levels, int count, int16_t& active) override {
    auto* const call = entry;
    return selvane::SendEachChannel(levels, count, active, [&](uint8_t index, uint8_t level, uint32_t& r) {
      r = call(index, level);
      return true;
    });
  }
  bool SetLevel(const uint8_t* first, int32_t count, int16_t& active) override {
    const auto address = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(first));
    active = selvane::LowWord(entry(address, static_cast<uint32_t>(count)));
    return true;
  }
};
