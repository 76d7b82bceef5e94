#pragma once
// OutDMX hands over one level per call; a tick's frame is complete when its
// last index arrives. Each calling thread gathers into its own frame, so the
// ticks of several host threads never mix. Plain C++; the caller serialises access.
#include <cstddef>
#include <cstdint>

#include "lru_slots.h"

namespace selvane::net {

class ChannelGatherer {
 public:
  // Threads gathering at once, more than a host runs; past that the least
  // recently used gives way, and its frame in progress is not sent torn.
  static constexpr int kThreads = 128;
  static constexpr int kMaxChannels = 120;

  explicit ChannelGatherer(int channels) : channels_(channels > kMaxChannels ? kMaxChannels : channels) {}

  // Stores one level. Returns true when `index` is the last channel of a
  // whole frame (the thread's slot has seen index 0 since it was taken):
  // `frame` then holds this thread's levels for channels 0..channels-1.
  // Indices past the interface's channels are ignored.
  bool Put(uint32_t threadId, uint8_t index, uint8_t level, uint8_t (&frame)[kMaxChannels]);

  int Channels() const { return channels_; }

 private:
  struct Levels {
    uint8_t at[kMaxChannels];  // a new thread starts from zero levels, not from another thread's
    bool whole;                // index 0 came since the slot was taken
  };
  LruSlots<uint32_t, Levels, kThreads> threads_;
  int channels_;
};

}  // namespace selvane::net
