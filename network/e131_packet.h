#pragma once
// ANSI E1.31-2018 (streaming ACN) data packets: root, framing and DMP layers
// for one universe of 512 slots. Plain C++, no Windows headers.
#include <cstddef>
#include <cstdint>

#include "packet_field.h"

namespace selvane::net {

inline constexpr size_t kDmxSlots = 512;
inline constexpr uint16_t kE131Port = 5568;
inline constexpr size_t kSourceNameBytes = 64;  // 63 bytes of UTF-8 and a terminating zero

// The data packet's fields, in order (E1.31-2018 section 4, table 4-1).
namespace e131 {
enum Field : size_t {
  kPreambleSize, kPostambleSize, kAcnPacketIdentifier, kRootFlagsAndLength, kRootVector, kCid,  // root layer
  kFramingFlagsAndLength, kFramingVector, kSourceName, kPriority, kSynchronizationAddress,        // framing layer
  kSequenceNumber, kOptions, kUniverse,
  kDmpFlagsAndLength, kDmpVector, kAddressAndDataType, kFirstPropertyAddress, kAddressIncrement,  // DMP layer
  kPropertyValueCount, kStartCode, kSlots, kFieldCount
};
inline constexpr size_t kSizes[kFieldCount] = {2, 2, 12, 2, 4, 16,  2, 4, kSourceNameBytes, 1, 2, 1, 1, 2,
                                               2, 1, 1, 2, 2, 2, 1, kDmxSlots};
inline constexpr PacketLayout kLayout = LayoutOf(kSizes);

// The standard's offsets.
static_assert(kLayout[kRootFlagsAndLength].offset == 16 && kLayout[kRootVector].offset == 18 && kLayout[kCid].offset == 22);
static_assert(kLayout[kFramingFlagsAndLength].offset == 38 && kLayout[kFramingVector].offset == 40);
static_assert(kLayout[kSourceName].offset == 44 && kLayout[kPriority].offset == 108);
static_assert(kLayout[kSynchronizationAddress].offset == 109 && kLayout[kSequenceNumber].offset == 111);
static_assert(kLayout[kOptions].offset == 112 && kLayout[kUniverse].offset == 113);
static_assert(kLayout[kDmpFlagsAndLength].offset == 115 && kLayout[kDmpVector].offset == 117);
static_assert(kLayout[kAddressAndDataType].offset == 118 && kLayout[kFirstPropertyAddress].offset == 119);
static_assert(kLayout[kAddressIncrement].offset == 121 && kLayout[kPropertyValueCount].offset == 123);
static_assert(kLayout[kStartCode].offset == 125 && kLayout[kSlots].offset == 126 && kLayout.Size() == 638);
}  // namespace e131

inline constexpr size_t kE131PacketSize = e131::kLayout.Size();

struct Cid {
  uint8_t bytes[16];
};

struct E131Source {
  Cid cid;
  char name[kSourceNameBytes];  // zero-terminated; the rest is zero
  uint8_t priority;
};

// `count` levels go into slots 1..count (at most 512); the remaining slots are 0.
void BuildE131DataPacket(const E131Source& source, uint16_t universe, uint8_t sequence, const uint8_t* levels,
                         size_t count, uint8_t (&packet)[kE131PacketSize]);

// The universe's multicast group 239.255.hi.lo, as a host-order IPv4 address.
uint32_t E131MulticastGroup(uint16_t universe);

}  // namespace selvane::net
