#pragma once
// Art-Net 4 ArtDmx packets carrying one universe of 512 slots. Plain C++.
#include <cstddef>
#include <cstdint>

#include "packet_field.h"

namespace selvane::net {

inline constexpr uint16_t kArtNetPort = 6454;
inline constexpr uint16_t kArtNetMaxPortAddress = 32767;

// The ArtDmx packet's fields, in order (Art-Net 4, ArtDmx).
namespace artdmx {
enum Field : size_t { kId, kOpCode, kProtocolVersion, kSequence, kPhysical, kSubUni, kNet, kLength, kData, kFieldCount };
inline constexpr size_t kSizes[kFieldCount] = {8, 2, 2, 1, 1, 1, 1, 2, 512};
inline constexpr PacketLayout kLayout = LayoutOf(kSizes);

// The standard's offsets.
static_assert(kLayout[kOpCode].offset == 8 && kLayout[kProtocolVersion].offset == 10 && kLayout[kSequence].offset == 12);
static_assert(kLayout[kPhysical].offset == 13 && kLayout[kSubUni].offset == 14 && kLayout[kNet].offset == 15);
static_assert(kLayout[kLength].offset == 16 && kLayout[kData].offset == 18 && kLayout.Size() == 530);
}  // namespace artdmx

inline constexpr size_t kArtDmxPacketSize = artdmx::kLayout.Size();

// `portAddress` is the 15-bit port-address (Net in bits 14-8, Sub-Net in 7-4,
// Universe in 3-0). `count` levels go first; the remaining slots are 0.
void BuildArtDmxPacket(uint16_t portAddress, uint8_t sequence, const uint8_t* levels, size_t count,
                       uint8_t (&packet)[kArtDmxPacketSize]);

}  // namespace selvane::net
