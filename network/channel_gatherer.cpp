#include "channel_gatherer.h"

#include <cstring>

namespace selvane::net {

ChannelGatherer::Slot& ChannelGatherer::SlotFor(uint32_t threadId) {
  Slot* oldest = &slots_[0];
  for (Slot& s : slots_) {
    if (s.used && s.threadId == threadId) return s;
    if (!s.used || (oldest->used && s.lastUse < oldest->lastUse)) oldest = &s;
  }
  // A new thread: it starts from zero levels, not from another thread's.
  std::memset(oldest->levels, 0, sizeof oldest->levels);
  oldest->threadId = threadId;
  oldest->used = true;
  return *oldest;
}

bool ChannelGatherer::Put(uint32_t threadId, uint8_t index, uint8_t level, uint8_t (&frame)[kMaxChannels]) {
  if (index >= channels_) return false;
  Slot& slot = SlotFor(threadId);
  slot.lastUse = ++uses_;
  slot.levels[index] = level;
  if (index != channels_ - 1) return false;
  std::memset(frame, 0, sizeof frame);
  std::memcpy(frame, slot.levels, static_cast<size_t>(channels_));
  return true;
}

}  // namespace selvane::net
