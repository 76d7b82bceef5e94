#include "e131_packet.h"

#include <cstring>

namespace selvane::net {
namespace {

void Put16(uint8_t* at, uint16_t value) {
  at[0] = static_cast<uint8_t>(value >> 8);
  at[1] = static_cast<uint8_t>(value);
}

void Put32(uint8_t* at, uint32_t value) {
  Put16(at, static_cast<uint16_t>(value >> 16));
  Put16(at + 2, static_cast<uint16_t>(value));
}

// Flags 0x7 in the top nibble, then the PDU length from this field to the packet's end.
void PutFlagsAndLength(uint8_t* packet, size_t offset) {
  Put16(packet + offset, static_cast<uint16_t>(0x7000u | (kE131PacketSize - offset)));
}

constexpr uint8_t kAcnPacketIdentifier[12] = {0x41, 0x53, 0x43, 0x2d, 0x45, 0x31, 0x2e, 0x31, 0x37, 0x00, 0x00, 0x00};
constexpr uint32_t kVectorRootE131Data = 0x00000004;
constexpr uint32_t kVectorE131DataPacket = 0x00000002;
constexpr uint8_t kVectorDmpSetProperty = 0x02;

}  // namespace

void BuildE131DataPacket(const E131Source& source, uint16_t universe, uint8_t sequence, const uint8_t* levels,
                         size_t count, uint8_t (&packet)[kE131PacketSize]) {
  std::memset(packet, 0, sizeof packet);
  // Root layer
  Put16(packet + 0, 0x0010);  // preamble size
  Put16(packet + 2, 0x0000);  // post-amble size
  std::memcpy(packet + 4, kAcnPacketIdentifier, sizeof kAcnPacketIdentifier);
  PutFlagsAndLength(packet, 16);
  Put32(packet + 18, kVectorRootE131Data);
  std::memcpy(packet + 22, source.cid.bytes, 16);
  // Framing layer
  PutFlagsAndLength(packet, 38);
  Put32(packet + 40, kVectorE131DataPacket);
  std::memcpy(packet + 44, source.name, kSourceNameBytes);
  packet[44 + kSourceNameBytes - 1] = 0;
  packet[108] = source.priority;
  Put16(packet + 109, 0);  // no synchronization universe
  packet[111] = sequence;
  packet[112] = 0;  // options: not preview, not terminated
  Put16(packet + 113, universe);
  // DMP layer
  PutFlagsAndLength(packet, 115);
  packet[117] = kVectorDmpSetProperty;
  packet[118] = 0xa1;       // address type and data type
  Put16(packet + 119, 0);   // first property address
  Put16(packet + 121, 1);   // address increment
  Put16(packet + 123, static_cast<uint16_t>(kDmxSlots + 1));  // start code and the slots
  packet[125] = 0x00;       // DMX512 null start code
  if (levels && count > 0) std::memcpy(packet + 126, levels, count < kDmxSlots ? count : kDmxSlots);
}

uint32_t E131MulticastGroup(uint16_t universe) {
  return (239u << 24) | (255u << 16) | static_cast<uint32_t>(universe);
}

}  // namespace selvane::net
