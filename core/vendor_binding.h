#pragma once
#include <windows.h>

#include <atomic>

#include "interface_selector.h"
#include "transmit_tick.h"

namespace selvane {

// One vendor entry point, bound on its first use. A successful binding is
// cached for the life of the process and its library is never unloaded; a
// failed load or lookup caches nothing, so a later call tries again. A binding
// whose library faulted is not called again until it is given another chance.
// Lock-free: threads may race to bind, and the first one to publish wins.
class LazyBinding {
 public:
  constexpr LazyBinding(const wchar_t* library, const char* entry) : library_(library), entry_(entry) {}
  LazyBinding(const LazyBinding&) = delete;
  LazyBinding& operator=(const LazyBinding&) = delete;

  // The entry point, or nullptr when the library or entry cannot be found now
  // or has faulted.
  FARPROC Get() noexcept {
    if (faulted_.load(std::memory_order_relaxed)) return nullptr;
    if (FARPROC bound = cached_.load(std::memory_order_acquire)) return bound;
    return Bind();
  }
  void MarkFaulted() noexcept { faulted_.store(true, std::memory_order_relaxed); }
  void Retry() noexcept { faulted_.store(false, std::memory_order_relaxed); }

 private:
  FARPROC Bind() noexcept;

  const wchar_t* library_;
  const char* entry_;
  std::atomic<FARPROC> cached_{nullptr};
  std::atomic<bool> faulted_{false};
};

// The maker's three bindings, process-wide, each call guarded against the
// library's faults (vendor_call_guard.h).
class VendorBindings final : public VendorPort {
 public:
  bool OutDmx(InterfaceType type, const uint8_t* levels, int count, int16_t& outputActive) override;
  bool SetLevel(const uint8_t* firstEntry, int32_t count, int16_t& outputActive) override;

  // After a hardware exception in a tick that used `selected`'s library.
  void MarkFaulted(InterfaceType selected) noexcept { For(selected).MarkFaulted(); }
  // Enable gives every faulted library one more chance.
  void RetryFaulted() noexcept;

 private:
  LazyBinding& For(InterfaceType type) noexcept;

  LazyBinding dmx60_{vendor::kVendorLibraries[0].file, vendor::kVendorLibraries[0].entry};
  LazyBinding dmx120_{vendor::kVendorLibraries[1].file, vendor::kVendorLibraries[1].entry};
  LazyBinding dmx510_{vendor::kVendorLibraries[2].file, vendor::kVendorLibraries[2].entry};
};

VendorBindings& ProcessVendorBindings() noexcept;

// One tick under the exception guard, the thread's floating-point control
// state put back after it. Returns false when an exception in a vendor call
// ended it; OutputActive is then 0, and after a stack overflow the stack has
// its guard page again.
bool RunGuardedTick(DriverState& state, VendorPort& vendor) noexcept;

// One tick against the process's bindings, on the calling thread, guarded:
// a fault inside the vendor library ends the tick, pauses output and marks
// that library faulted.
void RunVendorTick(DriverState& state) noexcept;

}  // namespace selvane
