#pragma once
// Sequence numbers per protocol and universe, so that each universe's
// receivers see one unbroken count, also when the configuration switches
// between universes. Plain C++; the caller serialises access.
#include <cstdint>

#include "lru_slots.h"

namespace selvane::net {

// UsbPro: a "DMX USB Pro" interface on a COM port, which counts nothing.
enum class Protocol : uint8_t { Sacn = 1, ArtNet = 2, UsbPro = 3 };

class SequenceCounters {
 public:
  // `sacnStart`: the first sACN number of a universe. Art-Net counts 1 to 255
  // and skips 0, which would tell a receiver to ignore the numbers.
  explicit SequenceCounters(uint8_t sacnStart = 0) : sacnStart_(sacnStart) {}

  // The number for the next packet of that universe.
  uint8_t Next(Protocol protocol, uint16_t universe);

  static constexpr int kUniverses = 16;  // the least recently used one makes room

 private:
  LruSlots<uint32_t, uint8_t, kUniverses> next_;
  uint8_t sacnStart_;
};

}  // namespace selvane::net
