#include "vendor_binding.h"

#include "vendor_library_loader.h"

namespace selvane {

FARPROC LazyBinding::Bind() noexcept {
  HMODULE library = LoadVendorLibrary(library_);
  if (!library) return nullptr;
  FARPROC entry = GetProcAddress(library, entry_);
  if (!entry) {
    // Nothing is cached, so a fixed library put in place later is picked up.
    FreeLibrary(library);
    return nullptr;
  }
  FARPROC expected = nullptr;
  if (!cached_.compare_exchange_strong(expected, entry, std::memory_order_acq_rel)) return expected;
  return entry;
}

namespace {

class VendorBindings final : public VendorPort {
 public:
  bool OutDmx60(uint8_t index, uint8_t level, uint32_t& result) override {
    return CallOutDmx(dmx60_, index, level, result);
  }
  bool OutDmx120(uint8_t index, uint8_t level, uint32_t& result) override {
    return CallOutDmx(dmx120_, index, level, result);
  }
  bool SetLevel510(const uint8_t* firstEntry, int32_t count, uint32_t& result) override {
    auto setLevel = reinterpret_cast<SetLevelFunction>(reinterpret_cast<void*>(dmx510_.Get()));
    if (!setLevel) return false;
    result = setLevel(firstEntry, count);
    return true;
  }

 private:
  static bool CallOutDmx(LazyBinding& binding, uint8_t index, uint8_t level, uint32_t& result) {
    auto outDmx = reinterpret_cast<OutDmxFunction>(reinterpret_cast<void*>(binding.Get()));
    if (!outDmx) return false;
    result = outDmx(index, level);
    return true;
  }

  LazyBinding dmx60_{L"DMX60.dll", "OutDMX"};
  LazyBinding dmx120_{L"DMX120.dll", "OutDMX"};
  LazyBinding dmx510_{L"DMX510.dll", "SetLevel"};
};

constinit VendorBindings g_vendorBindings;

}  // namespace

VendorPort& ProcessVendorPort() noexcept { return g_vendorBindings; }

}  // namespace selvane
