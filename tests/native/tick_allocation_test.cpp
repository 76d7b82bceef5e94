// Counts every heap allocation made while ticks run.
#include <gtest/gtest.h>

#include "counting_new.h"
#include "no_op_vendor.h"
#include "transmit_tick.h"

TEST(TickAllocation, NoTickAllocates) {
  selvane::DriverState state{};
  NoOpVendor vendor;
  for (int32_t selector : {0, 64, 120, 510}) {
    state.OutputActive = -1;
    state.ChannelCount = selector;
    ResetAllocationCount();
    CountAllocations(true);
    for (int i = 0; i < 1000; ++i) selvane::RunTick(state, vendor);
    CountAllocations(false);
    EXPECT_EQ(AllocationCount(), 0) << "selector " << selector;
  }
  // The counter does count: one allocation under counting shows up.
  // (Through a volatile pointer, which the compiler may not optimise away.)
  static int* volatile probe = nullptr;
  CountAllocations(true);
  probe = new int(1);
  CountAllocations(false);
  delete probe;
  EXPECT_EQ(AllocationCount(), 1);
}
