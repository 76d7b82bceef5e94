#include "artnet_packet.h"

#include <cstring>

namespace selvane::net {

void BuildArtDmxPacket(uint16_t portAddress, uint8_t sequence, const uint8_t* levels, size_t count,
                       uint8_t (&packet)[kArtDmxPacketSize]) {
  constexpr size_t kSlots = kArtDmxPacketSize - 18;
  std::memset(packet, 0, sizeof packet);
  std::memcpy(packet, "Art-Net", 8);  // with its terminating zero
  packet[8] = 0x00;                   // OpDmx 0x5000, low byte first
  packet[9] = 0x50;
  packet[10] = 0;                     // protocol version 14, high byte first
  packet[11] = 14;
  packet[12] = sequence;
  packet[13] = 0;                     // physical input port
  packet[14] = static_cast<uint8_t>(portAddress & 0xff);        // SubUni
  packet[15] = static_cast<uint8_t>((portAddress >> 8) & 0x7f);  // Net
  packet[16] = static_cast<uint8_t>(kSlots >> 8);                // length, high byte first
  packet[17] = static_cast<uint8_t>(kSlots & 0xff);
  if (levels && count > 0) std::memcpy(packet + 18, levels, count < kSlots ? count : kSlots);
}

}  // namespace selvane::net
