#include "outgoing_packet.h"

#include <cstring>

#include "usb_pro_message.h"

namespace selvane::net {

static_assert(kArtDmxPacketSize <= kE131PacketSize && usbpro::kDmxMessageSize <= kE131PacketSize);

Destination DestinationOf(const NetworkConfig& config) {
  if (config.protocol == Protocol::UsbPro) return {};  // the port named in the configuration
  if (config.protocol == Protocol::ArtNet) return {config.destination, kArtNetPort};
  return {config.hasDestination ? config.destination : E131MulticastGroup(config.universe), kE131Port};
}

void BuildOutgoingPacket(const NetworkConfig& config, const Cid& cid, SequenceCounters& sequences,
                         const uint8_t* levels, size_t count, OutgoingPacket& packet) {
  if (config.protocol == Protocol::UsbPro) {
    uint8_t message[usbpro::kDmxMessageSize];
    usbpro::BuildDmxMessage(levels, count, message);
    std::memcpy(packet.bytes, message, sizeof message);
    packet.size = sizeof message;
    packet.to = {};
    return;
  }
  const uint8_t sequence = sequences.Next(config.protocol, config.universe);
  packet.to = DestinationOf(config);
  if (config.protocol == Protocol::ArtNet) {
    uint8_t art[kArtDmxPacketSize];
    BuildArtDmxPacket(config.universe, sequence, levels, count, art);
    std::memcpy(packet.bytes, art, sizeof art);
    packet.size = kArtDmxPacketSize;
    return;
  }
  E131Source source;
  source.cid = cid;
  std::memcpy(source.name, config.sourceName, sizeof source.name);
  source.priority = config.priority;
  BuildE131DataPacket(source, config.universe, sequence, levels, count, packet.bytes);
  packet.size = kE131PacketSize;
}

void RefreshOutgoingPacket(const NetworkConfig& config, SequenceCounters& sequences, const uint8_t* levels,
                           size_t count, OutgoingPacket& packet) {
  PacketField slots{};
  switch (config.protocol) {
    case Protocol::UsbPro: {  // no sequence number on a serial line
      const PacketField data = usbpro::kDmxData[usbpro::kDmxSlots];
      slots = {usbpro::kDataOffset + data.offset, data.size};
      break;
    }
    case Protocol::ArtNet:
      packet.bytes[artdmx::kLayout[artdmx::kSequence].offset] = sequences.Next(config.protocol, config.universe);
      slots = artdmx::kLayout[artdmx::kData];
      break;
    case Protocol::Sacn:
      packet.bytes[e131::kLayout[e131::kSequenceNumber].offset] = sequences.Next(config.protocol, config.universe);
      slots = e131::kLayout[e131::kSlots];
      break;
  }
  const size_t n = levels ? (count < slots.size ? count : slots.size) : 0;
  if (n > 0) std::memcpy(packet.bytes + slots.offset, levels, n);
  std::memset(packet.bytes + slots.offset + n, 0, slots.size - n);
}

}  // namespace selvane::net
