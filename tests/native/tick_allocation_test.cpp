// Counts every heap allocation made while ticks run.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "transmit_tick.h"

namespace {
std::atomic<long> g_allocations{0};
std::atomic<bool> g_counting{false};

struct NullVendor final : selvane::VendorPort {
  bool OutDmx60(uint8_t, uint8_t, uint32_t& r) override { r = 1; return true; }
  bool OutDmx120(uint8_t, uint8_t, uint32_t& r) override { r = 1; return true; }
  bool SetLevel510(const uint8_t*, int32_t, uint32_t& r) override { r = 1; return true; }
};
}  // namespace

void* operator new(std::size_t size) {
  if (g_counting) ++g_allocations;
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

TEST(TickAllocation, NoTickAllocates) {
  selvane::DriverState state{};
  NullVendor vendor;
  for (int32_t selector : {0, 64, 120, 510}) {
    state.OutputActive = -1;
    state.ChannelCount = selector;
    g_allocations = 0;
    g_counting = true;
    for (int i = 0; i < 1000; ++i) selvane::RunTick(state, vendor);
    g_counting = false;
    EXPECT_EQ(g_allocations.load(), 0) << "selector " << selector;
  }
  // The counter does count: one allocation under counting shows up.
  g_counting = true;
  auto* probe = new int(1);
  g_counting = false;
  delete probe;
  EXPECT_EQ(g_allocations.load(), 1);
}
