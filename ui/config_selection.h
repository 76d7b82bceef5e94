#pragma once
#include <cstdint>

#include "interface_selector.h"

namespace selvane {

// The dialog's option buttons, by their control-array index.
enum class OptType : int { Dmx60 = 0, Dmx120 = 1, Dmx510Usb = 2 };

// Load: the option that the dialog selects for a ChannelCount value.
constexpr OptType OptionForChannelCount(int32_t channelCount) {
  switch (InterfaceForChannelCount(channelCount)) {
    case InterfaceType::Dmx120: return OptType::Dmx120;
    case InterfaceType::Dmx510Usb: return OptType::Dmx510Usb;
    case InterfaceType::Dmx60: break;
  }
  return OptType::Dmx60;
}

// Unload: the ChannelCount that the dialog writes, tested in this order:
// DMX-120, then DMX-510USB, else DMX-60 (64).
constexpr int32_t ChannelCountForSelection(bool dmx120Selected, bool dmx510UsbSelected) {
  if (dmx120Selected) return kSelectDmx120;
  if (dmx510UsbSelected) return kSelectDmx510Usb;
  return kSelectDmx60;
}

}  // namespace selvane
