#pragma once
// A field of a packet layout: where it starts and how many bytes it has. Each
// layout names its fields once, in order, with their sizes; the offsets follow
// from the sizes and are checked at compile time against the standard's table.
#include <cstddef>
#include <cstdint>

namespace selvane::net {

struct PacketField {
  size_t offset;
  size_t size;
  constexpr size_t End() const { return offset + size; }
};

template <size_t N>
struct PacketLayout {
  PacketField fields[N];
  constexpr PacketField operator[](size_t field) const { return fields[field]; }
  constexpr size_t Size() const { return fields[N - 1].End(); }
};

// The layout of fields of these sizes, one after the other.
template <size_t N>
constexpr PacketLayout<N> LayoutOf(const size_t (&sizes)[N]) {
  PacketLayout<N> layout{};
  size_t offset = 0;
  for (size_t i = 0; i < N; ++i) {
    layout.fields[i] = {offset, sizes[i]};
    offset += sizes[i];
  }
  return layout;
}

// Network byte order (most significant byte first), as both protocols write.
inline void PutBigEndian16(uint8_t* packet, PacketField field, uint16_t value) {
  packet[field.offset] = static_cast<uint8_t>(value >> 8);
  packet[field.offset + 1] = static_cast<uint8_t>(value);
}

inline void PutBigEndian32(uint8_t* packet, PacketField field, uint32_t value) {
  for (size_t i = 0; i < 4; ++i) packet[field.offset + i] = static_cast<uint8_t>(value >> (24 - 8 * i));
}

}  // namespace selvane::net
