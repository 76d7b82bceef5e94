#include "e131_packet.h"

#include <cstring>

namespace selvane::net {
namespace {

using namespace e131;

// Flags 0x7 in the top nibble, then the PDU length from this field to the packet's end.
void PutFlagsAndLength(uint8_t* packet, Field field) {
  PutBigEndian16(packet, kLayout[field], static_cast<uint16_t>(0x7000u | (kE131PacketSize - kLayout[field].offset)));
}

void Put(uint8_t* packet, Field field, const void* bytes) {
  std::memcpy(packet + kLayout[field].offset, bytes, kLayout[field].size);
}

constexpr uint8_t kAcnPacketIdentifierBytes[12] = {0x41, 0x53, 0x43, 0x2d, 0x45, 0x31,
                                                   0x2e, 0x31, 0x37, 0x00, 0x00, 0x00};
static_assert(sizeof kAcnPacketIdentifierBytes == kSizes[kAcnPacketIdentifier]);
constexpr uint32_t kVectorRootE131Data = 0x00000004;
constexpr uint32_t kVectorE131DataPacket = 0x00000002;
constexpr uint8_t kVectorDmpSetProperty = 0x02;
constexpr uint8_t kAddressAndDataTypeByte = 0xa1;
constexpr uint8_t kNullStartCode = 0x00;

}  // namespace

void BuildE131DataPacket(const E131Source& source, uint16_t universe, uint8_t sequence, const uint8_t* levels,
                         size_t count, uint8_t (&packet)[kE131PacketSize]) {
  // Zero: no post-amble, no synchronization universe, no options, first address 0.
  std::memset(packet, 0, sizeof packet);
  PutBigEndian16(packet, kLayout[kPreambleSize], 0x0010);
  Put(packet, kAcnPacketIdentifier, kAcnPacketIdentifierBytes);
  PutFlagsAndLength(packet, kRootFlagsAndLength);
  PutBigEndian32(packet, kLayout[kRootVector], kVectorRootE131Data);
  Put(packet, kCid, source.cid.bytes);
  PutFlagsAndLength(packet, kFramingFlagsAndLength);
  PutBigEndian32(packet, kLayout[kFramingVector], kVectorE131DataPacket);
  Put(packet, kSourceName, source.name);
  packet[kLayout[kSourceName].End() - 1] = 0;
  packet[kLayout[kPriority].offset] = source.priority;
  packet[kLayout[kSequenceNumber].offset] = sequence;
  PutBigEndian16(packet, kLayout[kUniverse], universe);
  PutFlagsAndLength(packet, kDmpFlagsAndLength);
  packet[kLayout[kDmpVector].offset] = kVectorDmpSetProperty;
  packet[kLayout[kAddressAndDataType].offset] = kAddressAndDataTypeByte;
  PutBigEndian16(packet, kLayout[kAddressIncrement], 1);
  PutBigEndian16(packet, kLayout[kPropertyValueCount], static_cast<uint16_t>(kSizes[kStartCode] + kSizes[kSlots]));
  packet[kLayout[kStartCode].offset] = kNullStartCode;
  if (levels && count > 0)
    std::memcpy(packet + kLayout[kSlots].offset, levels, count < kSizes[kSlots] ? count : kSizes[kSlots]);
}

uint32_t E131MulticastGroup(uint16_t universe) {
  return (239u << 24) | (255u << 16) | static_cast<uint32_t>(universe);
}

}  // namespace selvane::net
