#include "vendor_binding.h"

#include "vendor_call_guard.h"
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

// OutDMX(index, level) and SetLevel(address, count) both take two 32-bit
// stack slots. A callee that leaves the stack wrong has run with the wrong
// convention: the binding is faulted, and the tick ends as for a missing one.
bool CallEntry(LazyBinding& binding, uint32_t first, uint32_t second, uint32_t& result) noexcept {
  const FARPROC entry = binding.Get();
  if (!entry) return false;
  if (CallStdcall2(reinterpret_cast<const void*>(entry), first, second, result)) return true;
  binding.MarkFaulted();
  return false;
}

}  // namespace

bool VendorBindings::OutDmx60(uint8_t index, uint8_t level, uint32_t& result) {
  return CallEntry(dmx60_, index, level, result);
}

bool VendorBindings::OutDmx120(uint8_t index, uint8_t level, uint32_t& result) {
  return CallEntry(dmx120_, index, level, result);
}

bool VendorBindings::SetLevel510(const uint8_t* firstEntry, int32_t count, uint32_t& result) {
  return CallEntry(dmx510_, static_cast<uint32_t>(reinterpret_cast<uintptr_t>(firstEntry)),
                   static_cast<uint32_t>(count), result);
}

void VendorBindings::RetryFaulted() noexcept {
  dmx60_.Retry();
  dmx120_.Retry();
  dmx510_.Retry();
}

LazyBinding& VendorBindings::For(InterfaceType type) noexcept {
  switch (type) {
    case InterfaceType::Dmx120: return dmx120_;
    case InterfaceType::Dmx510Usb: return dmx510_;
    case InterfaceType::Dmx60: break;
  }
  return dmx60_;
}

namespace {

constinit VendorBindings g_vendorBindings;

struct TickContext {
  DriverState* state;
  VendorPort* vendor;
};

void TickBody(void* context) {
  auto* tick = static_cast<TickContext*>(context);
  RunTick(*tick->state, *tick->vendor);
}

}  // namespace

VendorBindings& ProcessVendorBindings() noexcept { return g_vendorBindings; }

bool RunGuardedTick(DriverState& state, VendorPort& vendor) noexcept {
  TickContext tick{&state, &vendor};
  if (RunGuarded(&TickBody, &tick)) return true;
  state.OutputActive = 0;
  return false;
}

void RunVendorTick(DriverState& state) noexcept {
  // The tick reads ChannelCount once, before any vendor call; so does this.
  const InterfaceType selected = InterfaceForChannelCount(state.ChannelCount);
  if (!RunGuardedTick(state, g_vendorBindings)) g_vendorBindings.MarkFaulted(selected);
}

}  // namespace selvane
