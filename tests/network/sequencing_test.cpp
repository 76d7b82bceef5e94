// Sequence numbers across calls, and how OutDMX levels gather into frames.
#include <gtest/gtest.h>

#include <cstring>

#include "channel_gatherer.h"
#include "sequence_counters.h"

namespace selvane::net {
namespace {

TEST(SequenceCounters, SacnCountsOnAndWrapsFrom255To0) {
  SequenceCounters s(254);
  EXPECT_EQ(254, s.Next(Protocol::Sacn, 1));
  EXPECT_EQ(255, s.Next(Protocol::Sacn, 1));
  EXPECT_EQ(0, s.Next(Protocol::Sacn, 1));
  EXPECT_EQ(1, s.Next(Protocol::Sacn, 1));
}

TEST(SequenceCounters, ArtNetCountsFrom1To255AndNeverSends0) {
  SequenceCounters s(0);
  EXPECT_EQ(1, s.Next(Protocol::ArtNet, 0));
  for (int i = 2; i <= 255; ++i) ASSERT_EQ(i, s.Next(Protocol::ArtNet, 0));
  EXPECT_EQ(1, s.Next(Protocol::ArtNet, 0));
}

TEST(SequenceCounters, EachUniverseAndProtocolKeepsItsOwnCount) {
  SequenceCounters s(10);
  EXPECT_EQ(10, s.Next(Protocol::Sacn, 1));
  EXPECT_EQ(11, s.Next(Protocol::Sacn, 1));
  EXPECT_EQ(10, s.Next(Protocol::Sacn, 2));
  EXPECT_EQ(1, s.Next(Protocol::ArtNet, 1));
  EXPECT_EQ(12, s.Next(Protocol::Sacn, 1));  // switching back continues where it was
}

TEST(SequenceCounters, TheLeastRecentlyUsedUniverseMakesRoom) {
  SequenceCounters s(0);
  s.Next(Protocol::Sacn, 1);
  s.Next(Protocol::Sacn, 1);
  for (uint16_t u = 2; u < 2 + SequenceCounters::kUniverses - 1; ++u) s.Next(Protocol::Sacn, u);
  s.Next(Protocol::Sacn, 1);  // universe 1 used again: universe 2 is now the oldest
  s.Next(Protocol::Sacn, 100);
  EXPECT_EQ(3, s.Next(Protocol::Sacn, 1));
  EXPECT_EQ(0, s.Next(Protocol::Sacn, 2));  // forgotten, starts again
}

TEST(ChannelGatherer, AFrameIsCompleteOnlyAtTheLastIndex) {
  ChannelGatherer g(64);
  uint8_t frame[ChannelGatherer::kMaxChannels];
  for (int i = 0; i < 63; ++i) ASSERT_FALSE(g.Put(1, static_cast<uint8_t>(i), static_cast<uint8_t>(i + 1), frame));
  std::memset(frame, 0xcc, sizeof frame);
  ASSERT_TRUE(g.Put(1, 63, 0xff, frame));
  for (int i = 0; i < 63; ++i) EXPECT_EQ(i + 1, frame[i]);
  EXPECT_EQ(0xff, frame[63]);
  for (int i = 64; i < ChannelGatherer::kMaxChannels; ++i) ASSERT_EQ(0, frame[i]) << i;
  EXPECT_FALSE(g.Put(1, 64, 9, frame));   // past a DMX-60's channels: ignored
  EXPECT_FALSE(g.Put(1, 119, 9, frame));
}

TEST(ChannelGatherer, TicksOfTwoThreadsDoNotMix) {
  ChannelGatherer g(120);
  uint8_t frame[ChannelGatherer::kMaxChannels];
  // Interleaved ticks: thread 1 sends 0x11 everywhere, thread 2 sends 0x22.
  for (int i = 0; i < 119; ++i) {
    ASSERT_FALSE(g.Put(1, static_cast<uint8_t>(i), 0x11, frame));
    ASSERT_FALSE(g.Put(2, static_cast<uint8_t>(i), 0x22, frame));
  }
  ASSERT_TRUE(g.Put(2, 119, 0x22, frame));
  for (int i = 0; i < 120; ++i) ASSERT_EQ(0x22, frame[i]) << i;
  ASSERT_TRUE(g.Put(1, 119, 0x11, frame));
  for (int i = 0; i < 120; ++i) ASSERT_EQ(0x11, frame[i]) << i;
}

TEST(ChannelGatherer, ANewThreadStartsFromZeroWhenItTakesAnOldSlot) {
  ChannelGatherer g(64);
  uint8_t frame[ChannelGatherer::kMaxChannels];
  for (uint32_t t = 1; t <= ChannelGatherer::kThreads; ++t) g.Put(t, 0, 0x55, frame), g.Put(t, 5, 0x55, frame);
  g.Put(1000, 0, 1, frame);  // one thread more takes thread 1's slot
  ASSERT_TRUE(g.Put(1000, 63, 1, frame));
  EXPECT_EQ(0, frame[5]);
  ASSERT_TRUE(g.Put(2, 63, 1, frame));  // thread 2 kept its own
  EXPECT_EQ(0x55, frame[5]);
}

uint8_t LevelOf(uint32_t thread) { return static_cast<uint8_t>(1 + thread % 250); }

// Host threads interleaved call by call: each frame that goes out is one
// thread's whole frame, and every thread's frame goes out.
void ExpectWholeFrames(int threads, int passersBy) {
  ChannelGatherer g(120);
  uint8_t frame[ChannelGatherer::kMaxChannels];
  int frames = 0;
  uint32_t passer = 100000;
  for (int tick = 0; tick < 3; ++tick) {
    for (int i = 0; i < 120; ++i) {
      for (uint32_t t = 1; t <= static_cast<uint32_t>(threads); ++t) {
        if (!g.Put(t, static_cast<uint8_t>(i), LevelOf(t), frame)) continue;
        ++frames;
        for (int c = 0; c < 120; ++c) ASSERT_EQ(LevelOf(t), frame[c]) << "thread " << t << ", channel " << c + 1;
      }
      // Threads that call once and are gone, taking slots as they pass.
      for (int p = 0; p < passersBy; ++p) g.Put(++passer, 5, 0x55, frame);
    }
  }
  EXPECT_EQ(3 * threads, frames);
}

TEST(ChannelGatherer, SixtyFourThreadsInterleavedCallByCallEachSendTheirWholeFrame) { ExpectWholeFrames(64, 0); }

TEST(ChannelGatherer, ThreadsThatComeAndGoDoNotTearTheFramesOfThoseThatStay) { ExpectWholeFrames(64, 2); }

TEST(ChannelGatherer, AThreadWhoseSlotWasTakenSendsNoTornFrameAndItsNextTickWhole) {
  ChannelGatherer g(64);
  uint8_t frame[ChannelGatherer::kMaxChannels];
  for (int i = 0; i < 32; ++i) g.Put(1, static_cast<uint8_t>(i), 0x11, frame);
  // Enough other threads that thread 1's slot is taken in the middle of its frame.
  for (uint32_t t = 2; t < 2 + 4 * ChannelGatherer::kThreads; ++t) g.Put(t, 0, 0x22, frame);
  bool sent = false;
  for (int i = 32; i < 64; ++i) sent = g.Put(1, static_cast<uint8_t>(i), 0x11, frame) || sent;
  EXPECT_FALSE(sent) << "half a frame went out";
  for (int i = 0; i < 63; ++i) ASSERT_FALSE(g.Put(1, static_cast<uint8_t>(i), 0x11, frame));
  ASSERT_TRUE(g.Put(1, 63, 0x11, frame));
  for (int c = 0; c < 64; ++c) ASSERT_EQ(0x11, frame[c]) << c;
}

}  // namespace
}  // namespace selvane::net
