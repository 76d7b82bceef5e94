#pragma once
#include <cstdint>

#include "driver_state.h"
#include "interface_selector.h"

namespace selvane {

// The vendor functions return a 16-bit integer; only the low word of the
// return register is meaningful.
constexpr int16_t LowWord(uint32_t result) {
  return static_cast<int16_t>(static_cast<uint16_t>(result & 0xFFFFu));
}

// The vendor entry points as the tick sees them. Each stores the low word of
// every call's result in `outputActive` as soon as the call returns. Each
// returns false when its library or entry point cannot be bound right now or
// may not be called (it faulted), having called nothing, or when a call broke
// the calling convention, having called nothing more.
class VendorPort {
 public:
  // OutDMX of the DMX-60 or DMX-120 library: one call per channel i < count,
  // in ascending order, with index i and level levels[i]. A zero result does
  // not end the loop: later channels are still sent.
  virtual bool OutDmx(InterfaceType type, const uint8_t* levels, int count, int16_t& outputActive) = 0;
  // SetLevel of the DMX-510USB library, called once.
  virtual bool SetLevel(const uint8_t* firstEntry, int32_t count, int16_t& outputActive) = 0;

 protected:
  ~VendorPort() = default;
};

// OutDmx's loop for ports written in C++: `call(index, level, result)`
// returns false when the call cannot be made.
template <typename Call>
bool SendEachChannel(const uint8_t* levels, int count, int16_t& outputActive, Call call) {
  for (int i = 0; i < count; ++i) {
    uint32_t result = 0;
    if (!call(static_cast<uint8_t>(i), levels[i], result)) return false;
    outputActive = LowWord(result);
  }
  return true;
}

// One tick of the transmit timer: sends the buffer to the interface that
// ChannelCount selects, each call's result landing in OutputActive.
// A binding that cannot be made ends the tick and pauses output until the
// next Enable, so a missing library costs one attempt, not one per channel.
void RunTick(DriverState& state, VendorPort& vendor);

}  // namespace selvane
