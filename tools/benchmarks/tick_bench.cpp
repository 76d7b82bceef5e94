// Benchmarks of the output core under Wine: the cost of one tick, the heap
// allocations a tick makes, and the period of the 45 ms transmit timer as the
// message loop delivers it.
#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "bench_table.h"
#include "counting_new.h"
#include "frm_main.h"
#include "message_pump.h"
#include "mod_main.h"
#include "no_op_vendor.h"
#include "transmit_tick.h"
#include "vendor_binding.h"
#include "vendor_call_guard.h"
#include "vendor_double_client.h"

namespace {

// The same no-op entry point, called as the plug-in calls its bindings:
// through the guarded call loops, the tick under the exception guard.
struct GuardedNoOpVendor final : selvane::VendorPort {
  const void* entry = reinterpret_cast<const void*>(&NoOpEntry);
  bool OutDmx(selvane::InterfaceType, const uint8_t* levels, int count, int16_t& active) override {
    return selvane::CallEachChannel(entry, levels, count, active);
  }
  bool SetLevel(const uint8_t* first, int32_t count, int16_t& active) override {
    return selvane::CallOnce(entry, static_cast<uint32_t>(reinterpret_cast<uintptr_t>(first)),
                             static_cast<uint32_t>(count), active);
  }
};

double NsPerTick(selvane::VendorPort& vendor, int32_t selector, int ticks, bool guarded = false) {
  selvane::DriverState state{};
  state.ChannelCount = selector;
  return BenchNsPerCall(ticks, [&](int) {
    state.OutputActive = -1;
    if (guarded) selvane::RunGuardedTick(state, vendor);
    else selvane::RunTick(state, vendor);
  });
}

}  // namespace

int main(int argc, char** argv) {
  const int periodTicks = argc > 1 ? std::max(10, std::atoi(argv[1])) : 200;

  NoOpVendor noOp;
  GuardedNoOpVendor guardedNoOp;
  // The DMX-120 ticks plain and guarded in turns, the best of each, so that
  // changes in the machine's load fall on both alike.
  double plain120 = 1e300, guarded120 = 1e300;
  for (int turn = 0; turn < 20; ++turn) {
    plain120 = std::min(plain120, NsPerTick(noOp, 120, 5000));
    guarded120 = std::min(guarded120, NsPerTick(guardedNoOp, 120, 5000, true));
  }
  BenchRow("tick DMX-60, in-process no-op vendor", NsPerTick(noOp, 64, 20000), "ns/tick");
  BenchRow("tick DMX-120, in-process no-op vendor", plain120, "ns/tick");
  BenchRow("tick DMX-510USB, in-process no-op vendor", NsPerTick(noOp, 510, 20000), "ns/tick");
  BenchRow("tick DMX-60, no-op vendor, guarded calls", NsPerTick(guardedNoOp, 64, 20000, true), "ns/tick");
  BenchRow("tick DMX-120, no-op vendor, guarded calls", guarded120, "ns/tick");
  BenchRow("tick DMX-510USB, no-op vendor, guarded calls", NsPerTick(guardedNoOp, 510, 20000, true), "ns/tick");
  BenchRow("guard cost, DMX-120 tick guarded / plain", guarded120 / plain120, "x");

  VendorDoubleClient dmx60(L"DMX60.dll"), dmx120(L"DMX120.dll"), dmx510(L"DMX510.dll");
  if (!dmx60.Loaded() || !dmx120.Loaded() || !dmx510.Loaded()) {
    std::fprintf(stderr, "vendor doubles not found beside the benchmark\n");
    return 1;
  }
  for (auto* d : {&dmx60, &dmx120, &dmx510}) {
    d->Reset();
    d->SetLogging(false);
  }
  selvane::VendorPort& bound = selvane::ProcessVendorBindings();
  BenchRow("tick DMX-60, bound vendor double DLL", NsPerTick(bound, 64, 5000, true), "ns/tick");
  BenchRow("tick DMX-120, bound vendor double DLL", NsPerTick(bound, 120, 5000, true), "ns/tick");
  BenchRow("tick DMX-510USB, bound vendor double DLL", NsPerTick(bound, 510, 5000, true), "ns/tick");

  // Allocations: 1000 ticks of each interface through the real bindings. Every
  // operator new of this program (the core is linked in) counts; the vendor
  // doubles are separate modules with their own heap use.
  {
    selvane::DriverState state{};
    ResetAllocationCount();
    CountAllocations(true);
    for (int32_t selector : {64, 120, 510})
      for (int i = 0; i < 1000; ++i) {
        state.ChannelCount = selector;
        state.OutputActive = -1;
        selvane::RunGuardedTick(state, bound);
      }
    CountAllocations(false);
    BenchRow("heap allocations per tick (3000 ticks)", AllocationCount() / 3000.0, "allocs");
  }

  // Timer period: frame start times seen by the DMX-60 double.
  dmx60.Reset();
  selvane::ThreadState* thread = selvane::CurrentThreadState();
  selvane::FrmMain* frm = nullptr;
  if (!thread || FAILED(selvane::EnsureFrmMain(*thread, frm))) return 1;
  thread->state.ChannelCount = 64;
  frm->StartTimer();
  thread->state.OutputActive = -1;
  PumpUntil([&] { return dmx60.FrameCount() > periodTicks; }, static_cast<DWORD>(periodTicks) * 100 + 2000);
  frm->StopTimer();
  const auto frames = FrameTimes(dmx60.Calls());
  std::vector<double> periods;
  for (size_t i = 1; i < frames.size(); ++i) periods.push_back(frames[i] - frames[i - 1]);
  if (periods.size() < 2) return 1;
  double sum = 0;
  for (double p : periods) sum += p;
  const double mean = sum / periods.size();
  double var = 0;
  for (double p : periods) var += (p - mean) * (p - mean);
  std::sort(periods.begin(), periods.end());
  auto pct = [&](double q) { return periods[static_cast<size_t>(q * (periods.size() - 1))]; };
  char label[80];
  std::snprintf(label, sizeof label, "timer period over %zu ticks: mean", periods.size());
  BenchRow(label, mean, "ms");
  BenchRow("timer period: standard deviation", std::sqrt(var / (periods.size() - 1)), "ms");
  BenchRow("timer period: p50", pct(0.50), "ms");
  BenchRow("timer period: p99", pct(0.99), "ms");
  BenchRow("timer period: max", periods.back(), "ms");
  BenchRow("frames per second", 1000.0 / mean, "fps");
  return 0;
}
