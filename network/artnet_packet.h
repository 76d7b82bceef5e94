#pragma once
// Art-Net 4 ArtDmx packets carrying one universe of 512 slots. Plain C++.
#include <cstddef>
#include <cstdint>

namespace selvane::net {

inline constexpr size_t kArtDmxPacketSize = 530;
inline constexpr uint16_t kArtNetPort = 6454;
inline constexpr uint16_t kArtNetMaxPortAddress = 32767;

// `portAddress` is the 15-bit port-address (Net in bits 14-8, Sub-Net in 7-4,
// Universe in 3-0). `count` levels go first; the remaining slots are 0.
void BuildArtDmxPacket(uint16_t portAddress, uint8_t sequence, const uint8_t* levels, size_t count,
                       uint8_t (&packet)[kArtDmxPacketSize]);

}  // namespace selvane::net
