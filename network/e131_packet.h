#pragma once
// ANSI E1.31-2018 (streaming ACN) data packets: root, framing and DMP layers
// for one universe of 512 slots. Plain C++, no Windows headers.
#include <cstddef>
#include <cstdint>

namespace selvane::net {

inline constexpr size_t kDmxSlots = 512;
inline constexpr size_t kE131PacketSize = 638;
inline constexpr uint16_t kE131Port = 5568;
inline constexpr size_t kSourceNameBytes = 64;  // 63 bytes of UTF-8 and a terminating zero

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
