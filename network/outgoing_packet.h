#pragma once
// One universe packet for the configuration in use: the protocol's layout, the
// next sequence number of that universe, and where it goes. Plain C++.
#include <cstddef>
#include <cstdint>

#include "artnet_packet.h"
#include "e131_packet.h"
#include "network_config.h"
#include "sequence_counters.h"

namespace selvane::net {

struct OutgoingPacket {
  uint8_t bytes[kE131PacketSize];
  size_t size = 0;
  uint32_t address = 0;  // IPv4, host byte order
  uint16_t port = 0;
};

void BuildOutgoingPacket(const NetworkConfig& config, const Cid& cid, SequenceCounters& sequences,
                         const uint8_t* levels, size_t count, OutgoingPacket& packet);

}  // namespace selvane::net
