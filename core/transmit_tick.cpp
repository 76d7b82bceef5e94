#include "transmit_tick.h"

#include "interface_selector.h"

namespace selvane {
namespace {

template <typename OutDmx>
void SendPerChannel(DriverState& state, int channels, OutDmx outDmx) {
  for (int i = 0; i < channels; ++i) {
    uint32_t result = 0;
    if (!outDmx(static_cast<uint8_t>(i), state.ChannelBuffer[i], result)) {
      state.OutputActive = 0;
      return;
    }
    // A zero here does not end the loop: later channels are still sent.
    state.OutputActive = LowWord(result);
  }
}

}  // namespace

void RunTick(DriverState& state, VendorPort& vendor) {
  if (state.OutputActive == 0) return;

  const int32_t selector = state.ChannelCount;
  switch (InterfaceForChannelCount(selector)) {
    case InterfaceType::Dmx120:
      SendPerChannel(state, kDmx120Channels, [&](uint8_t i, uint8_t level, uint32_t& r) {
        return vendor.OutDmx120(i, level, r);
      });
      break;
    case InterfaceType::Dmx510Usb: {
      uint32_t result = 0;
      // The buffer is handed over by address, without a copy.
      if (!vendor.SetLevel510(&state.ChannelBuffer[0], kSetLevelCount, result)) {
        state.OutputActive = 0;
        return;
      }
      state.OutputActive = LowWord(result);
      break;
    }
    case InterfaceType::Dmx60:
      SendPerChannel(state, kDmx60Channels, [&](uint8_t i, uint8_t level, uint32_t& r) {
        return vendor.OutDmx60(i, level, r);
      });
      break;
  }
}

}  // namespace selvane
