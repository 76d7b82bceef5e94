#include "outgoing_packet.h"

#include <cstring>

namespace selvane::net {

static_assert(kArtDmxPacketSize <= kE131PacketSize);

Destination DestinationOf(const NetworkConfig& config) {
  if (config.protocol == Protocol::ArtNet) return {config.destination, kArtNetPort};
  return {config.hasDestination ? config.destination : E131MulticastGroup(config.universe), kE131Port};
}

void BuildOutgoingPacket(const NetworkConfig& config, const Cid& cid, SequenceCounters& sequences,
                         const uint8_t* levels, size_t count, OutgoingPacket& packet) {
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

}  // namespace selvane::net
