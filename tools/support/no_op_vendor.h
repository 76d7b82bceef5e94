#pragma once
#include "transmit_tick.h"

// A vendor whose every call succeeds at once and does nothing: what a tick
// costs by itself.
struct NoOpVendor final : selvane::VendorPort {
  bool OutDmx60(uint8_t, uint8_t, uint32_t& r) override { r = 1; return true; }
  bool OutDmx120(uint8_t, uint8_t, uint32_t& r) override { r = 1; return true; }
  bool SetLevel510(const uint8_t*, int32_t, uint32_t& r) override { r = 1; return true; }
};
