#include "sequence_counters.h"

namespace selvane::net {

uint8_t SequenceCounters::Next(Protocol protocol, uint16_t universe) {
  const uint32_t key = (static_cast<uint32_t>(protocol) << 16) | universe;
  Entry* entry = nullptr;
  Entry* oldest = &entries_[0];
  for (Entry& e : entries_) {
    if (e.key == key) {
      entry = &e;
      break;
    }
    if (e.key == 0 || (oldest->key != 0 && e.lastUse < oldest->lastUse)) oldest = &e;
  }
  if (!entry) {
    entry = oldest;
    entry->key = key;
    entry->next = protocol == Protocol::ArtNet ? 1 : sacnStart_;
  }
  entry->lastUse = ++uses_;
  const uint8_t number = entry->next;
  entry->next = static_cast<uint8_t>(number + 1);
  if (protocol == Protocol::ArtNet && entry->next == 0) entry->next = 1;
  return number;
}

}  // namespace selvane::net
