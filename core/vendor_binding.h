#pragma once
#include <windows.h>

#include <atomic>

#include "transmit_tick.h"

namespace selvane {

// One vendor entry point, bound on its first use. A successful binding is
// cached for the life of the process and its library is never unloaded; a
// failed load or lookup caches nothing, so a later call tries again. Lock-free:
// threads may race to bind, and the first one to publish wins.
class LazyBinding {
 public:
  constexpr LazyBinding(const wchar_t* library, const char* entry) : library_(library), entry_(entry) {}
  LazyBinding(const LazyBinding&) = delete;
  LazyBinding& operator=(const LazyBinding&) = delete;

  // The entry point, or nullptr when the library or entry cannot be found now.
  FARPROC Get() noexcept {
    if (FARPROC bound = cached_.load(std::memory_order_acquire)) return bound;
    return Bind();
  }

 private:
  FARPROC Bind() noexcept;

  const wchar_t* library_;
  const char* entry_;
  std::atomic<FARPROC> cached_{nullptr};
};

// The maker's three entry points, all stdcall. They return a 16-bit integer;
// the full return register is taken and the tick keeps its low word.
using OutDmxFunction = uint32_t(__stdcall*)(uint8_t index, uint8_t level);
using SetLevelFunction = uint32_t(__stdcall*)(const uint8_t* firstEntry, int32_t count);

// The process-wide bindings of DMX60.dll, DMX120.dll and DMX510.dll.
VendorPort& ProcessVendorPort() noexcept;

}  // namespace selvane
