#pragma once
#include <cstdint>

#include "vendor_contract.h"

namespace selvane {

// Which interface a ChannelCount value selects. Only 120 and 510 are special;
// 64 is what the dialog writes for DMX-60, and every other value (0 before
// Init, 512 from an old setting, ...) behaves exactly like 64.
enum class InterfaceType { Dmx60, Dmx120, Dmx510Usb };

inline constexpr int32_t kSelectDmx60 = 64;
inline constexpr int32_t kSelectDmx120 = 120;
inline constexpr int32_t kSelectDmx510Usb = 510;

using vendor::kDmx120Channels;
using vendor::kDmx60Channels;
using vendor::kSetLevelCount;

constexpr InterfaceType InterfaceForChannelCount(int32_t channelCount) {
  switch (channelCount) {
    case kSelectDmx120: return InterfaceType::Dmx120;
    case kSelectDmx510Usb: return InterfaceType::Dmx510Usb;
    default: return InterfaceType::Dmx60;
  }
}

}  // namespace selvane
