#pragma once
// One universe packet for the configuration in use: the protocol's layout, the
// next sequence number of that universe, and where it goes. Plain C++.
#include <cstddef>
#include <cstdint>

#include "artnet_packet.h"
#include "e131_packet.h"
#include "network_config.h"
#include "sequence_counters.h"
#include "transport.h"

namespace selvane::net {

struct OutgoingPacket {
  uint8_t bytes[kE131PacketSize];
  size_t size = 0;
  Destination to;
};

// Where the configuration's packets go: its Destination, or for sACN without
// one the universe's multicast group; the protocol's port.
Destination DestinationOf(const NetworkConfig& config);

// The whole packet of the next frame for `config`.
void BuildOutgoingPacket(const NetworkConfig& config, const Cid& cid, SequenceCounters& sequences,
                         const uint8_t* levels, size_t count, OutgoingPacket& packet);

// The next frame in a packet built for the same configuration and CID: only
// its sequence number and its slots change.
void RefreshOutgoingPacket(const NetworkConfig& config, SequenceCounters& sequences, const uint8_t* levels,
                           size_t count, OutgoingPacket& packet);

}  // namespace selvane::net
