#pragma once
#include <cstdint>

#include "driver_state.h"

namespace selvane {

// The three vendor entry points as the tick sees them. Each returns false when
// its library or entry point cannot be bound right now, or may not be called
// (it faulted); otherwise it stores the raw 32-bit return register of the
// call in `result`.
class VendorPort {
 public:
  virtual bool OutDmx60(uint8_t index, uint8_t level, uint32_t& result) = 0;
  virtual bool OutDmx120(uint8_t index, uint8_t level, uint32_t& result) = 0;
  virtual bool SetLevel510(const uint8_t* firstEntry, int32_t count, uint32_t& result) = 0;

 protected:
  ~VendorPort() = default;
};

// The vendor functions return a 16-bit integer; only the low word of the
// return register is meaningful.
constexpr int16_t LowWord(uint32_t result) {
  return static_cast<int16_t>(static_cast<uint16_t>(result & 0xFFFFu));
}

// One tick of the transmit timer: sends the buffer to the interface that
// ChannelCount selects and stores each call's result in OutputActive.
// A binding that cannot be made ends the tick and pauses output until the
// next Enable, so a missing library costs one attempt, not one per channel.
void RunTick(DriverState& state, VendorPort& vendor);

}  // namespace selvane
