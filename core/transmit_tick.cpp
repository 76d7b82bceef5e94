#include "transmit_tick.h"

namespace selvane {

void RunTick(DriverState& state, VendorPort& vendor) {
  if (state.OutputActive == 0) return;

  bool sent = false;
  switch (InterfaceForChannelCount(state.ChannelCount)) {
    case InterfaceType::Dmx120:
      sent = vendor.OutDmx(InterfaceType::Dmx120, state.ChannelBuffer, kDmx120Channels, state.OutputActive);
      break;
    case InterfaceType::Dmx510Usb:
      // The buffer is handed over by address, without a copy.
      sent = vendor.SetLevel(&state.ChannelBuffer[0], kSetLevelCount, state.OutputActive);
      break;
    case InterfaceType::Dmx60:
      sent = vendor.OutDmx(InterfaceType::Dmx60, state.ChannelBuffer, kDmx60Channels, state.OutputActive);
      break;
  }
  if (!sent) state.OutputActive = 0;
}

}  // namespace selvane
