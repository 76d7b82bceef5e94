// Benchmarks of the output core, run under Wine: the cost of one tick, and the
// period of the 45 ms transmit timer as the message loop delivers it.
#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "frm_main.h"
#include "message_pump.h"
#include "mod_main.h"
#include "transmit_tick.h"
#include "vendor_binding.h"
#include "vendor_double_client.h"

namespace {

struct NoOpVendor final : selvane::VendorPort {
  bool OutDmx60(uint8_t, uint8_t, uint32_t& r) override { r = 1; return true; }
  bool OutDmx120(uint8_t, uint8_t, uint32_t& r) override { r = 1; return true; }
  bool SetLevel510(const uint8_t*, int32_t, uint32_t& r) override { r = 1; return true; }
};

double NowNs() {
  static LARGE_INTEGER frequency = [] { LARGE_INTEGER f; QueryPerformanceFrequency(&f); return f; }();
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return static_cast<double>(now.QuadPart) * 1e9 / static_cast<double>(frequency.QuadPart);
}

double NsPerTick(selvane::VendorPort& vendor, int32_t selector, int ticks) {
  selvane::DriverState state{};
  state.ChannelCount = selector;
  double best = 1e300;
  for (int round = 0; round < 5; ++round) {
    const double start = NowNs();
    for (int i = 0; i < ticks; ++i) {
      state.OutputActive = -1;
      selvane::RunTick(state, vendor);
    }
    best = std::min(best, (NowNs() - start) / ticks);
  }
  return best;
}

void PrintRow(const char* name, double value, const char* unit) {
  std::printf("  %-46s %12.1f %s\n", name, value, unit);
}

}  // namespace

int main(int argc, char** argv) {
  const int periodTicks = argc > 1 ? std::max(10, std::atoi(argv[1])) : 200;
  std::printf("output core benchmarks (best of 5 rounds)\n");

  NoOpVendor noOp;
  PrintRow("tick DMX-60, in-process no-op vendor", NsPerTick(noOp, 64, 20000), "ns/tick");
  PrintRow("tick DMX-120, in-process no-op vendor", NsPerTick(noOp, 120, 20000), "ns/tick");
  PrintRow("tick DMX-510USB, in-process no-op vendor", NsPerTick(noOp, 510, 20000), "ns/tick");

  VendorDoubleClient dmx60(L"DMX60.dll"), dmx120(L"DMX120.dll"), dmx510(L"DMX510.dll");
  if (!dmx60.Loaded() || !dmx120.Loaded() || !dmx510.Loaded()) {
    std::fprintf(stderr, "vendor doubles not found beside the benchmark\n");
    return 1;
  }
  for (auto* d : {&dmx60, &dmx120, &dmx510}) {
    d->Reset();
    d->SetLogging(false);
  }
  selvane::VendorPort& bound = selvane::ProcessVendorPort();
  PrintRow("tick DMX-60, bound vendor DLL (no logging)", NsPerTick(bound, 64, 5000), "ns/tick");
  PrintRow("tick DMX-120, bound vendor DLL (no logging)", NsPerTick(bound, 120, 5000), "ns/tick");
  PrintRow("tick DMX-510USB, bound vendor DLL (no logging)", NsPerTick(bound, 510, 5000), "ns/tick");

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
  std::printf("timer period over %zu ticks\n", periods.size());
  PrintRow("mean", mean, "ms");
  PrintRow("standard deviation", std::sqrt(var / (periods.size() - 1)), "ms");
  PrintRow("p50", pct(0.50), "ms");
  PrintRow("p99", pct(0.99), "ms");
  PrintRow("max", periods.back(), "ms");
  PrintRow("frames per second", 1000.0 / mean, "fps");
  return 0;
}
