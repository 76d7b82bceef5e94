#include "channel_gatherer.h"

#include <cstring>

namespace selvane::net {

bool ChannelGatherer::Put(uint32_t threadId, uint8_t index, uint8_t level, uint8_t (&frame)[kMaxChannels]) {
  if (index >= channels_) return false;
  bool fresh;
  Levels& levels = threads_.Use(threadId, fresh);
  levels.at[index] = level;
  if (index == 0) levels.whole = true;
  if (index != channels_ - 1 || !levels.whole) return false;
  std::memset(frame, 0, sizeof frame);
  std::memcpy(frame, levels.at, static_cast<size_t>(channels_));
  return true;
}

}  // namespace selvane::net
