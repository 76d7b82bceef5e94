#include "vendor_binding.h"

#include "floating_point_control.h"
#include "unique_any.h"
#include "vendor_call_guard.h"
#include "vendor_library_loader.h"

namespace selvane {

FARPROC LazyBinding::Bind() noexcept {
  unique_hmodule library(LoadVendorLibrary(library_));
  if (!library) return nullptr;
  // Without the entry the library is freed and nothing is cached, so a fixed
  // library put in place later is picked up.
  FARPROC entry = GetProcAddress(library.get(), entry_);
  if (!entry) return nullptr;
  static_cast<void>(library.release());  // a bound vendor library stays loaded for the process's life
  FARPROC expected = nullptr;
  if (!cached_.compare_exchange_strong(expected, entry, std::memory_order_acq_rel)) return expected;
  return entry;
}

namespace {

// A callee that leaves the stack wrong has run with the wrong convention: the
// binding is faulted, and the tick ends as for a missing one.
bool KeptTheConvention(LazyBinding& binding, bool kept) noexcept {
  if (!kept) binding.MarkFaulted();
  return kept;
}

}  // namespace

bool VendorBindings::OutDmx(InterfaceType type, const uint8_t* levels, int count, int16_t& outputActive) {
  LazyBinding& binding = For(type);
  const FARPROC entry = binding.Get();
  if (!entry) return false;
  return KeptTheConvention(binding,
                           CallEachChannel(reinterpret_cast<const void*>(entry), levels, count, outputActive));
}

bool VendorBindings::SetLevel(const uint8_t* firstEntry, int32_t count, int16_t& outputActive) {
  const FARPROC entry = dmx510_.Get();
  if (!entry) return false;
  return KeptTheConvention(dmx510_, CallOnce(reinterpret_cast<const void*>(entry),
                                             static_cast<uint32_t>(reinterpret_cast<uintptr_t>(firstEntry)),
                                             static_cast<uint32_t>(count), outputActive));
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
  const FloatingPointControl floatingPoint = SaveFloatingPointControl();
  const uint32_t fault = RunGuarded(&TickBody, &tick);
  RestoreFloatingPointControl(floatingPoint);
  if (fault == 0) return true;
  state.OutputActive = 0;
  // Without its guard page, the thread's next overflow would kill it unreported.
  if (fault == EXCEPTION_STACK_OVERFLOW) RestoreStackGuard();
  return false;
}

void RunVendorTick(DriverState& state) noexcept {
  // The tick reads ChannelCount once, before any vendor call; so does this.
  const InterfaceType selected = InterfaceForChannelCount(state.ChannelCount);
  if (!RunGuardedTick(state, g_vendorBindings)) g_vendorBindings.MarkFaulted(selected);
}

}  // namespace selvane
