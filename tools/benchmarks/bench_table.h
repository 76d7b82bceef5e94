#pragma once
// One row format for every benchmark, so that tools/bench prints one table.
#include <windows.h>

#include <cstdio>

inline void BenchRow(const char* name, double value, const char* unit) {
  std::printf("| %-52s | %12.1f | %-9s |\n", name, value, unit);
}

inline double BenchNowNs() {
  static const LARGE_INTEGER frequency = [] { LARGE_INTEGER f; QueryPerformanceFrequency(&f); return f; }();
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return static_cast<double>(now.QuadPart) * 1e9 / static_cast<double>(frequency.QuadPart);
}

// Best of `rounds` timings of `count` calls, in ns per call.
template <typename F>
double BenchNsPerCall(int count, F&& call, int rounds = 5) {
  double best = 1e300;
  for (int r = 0; r < rounds; ++r) {
    const double start = BenchNowNs();
    for (int i = 0; i < count; ++i) call(i);
    const double ns = (BenchNowNs() - start) / count;
    if (ns < best) best = ns;
  }
  return best;
}
