#include "sequence_counters.h"

namespace selvane::net {

uint8_t SequenceCounters::Next(Protocol protocol, uint16_t universe) {
  bool fresh;
  uint8_t& next = next_.Use((static_cast<uint32_t>(protocol) << 16) | universe, fresh);
  if (fresh) next = protocol == Protocol::ArtNet ? 1 : sacnStart_;
  const uint8_t number = next;
  next = static_cast<uint8_t>(number + 1);
  if (protocol == Protocol::ArtNet && next == 0) next = 1;
  return number;
}

}  // namespace selvane::net
