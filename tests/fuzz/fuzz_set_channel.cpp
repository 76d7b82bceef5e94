// Fuzzes ApplySetChannel, over a sequence of calls on one buffer, against the
// documented outcomes written as a table of channel and level kinds: a model
// of another shape than the rule's sequence of checks, so that the two can
// disagree.
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>

#include "fuzz_support.h"
#include "set_channel_rule.h"

using selvane::AutomationError;
using selvane::SetChannelOutcome;

namespace {

constexpr std::size_t kSize = selvane::kChannelBufferSize;
using Buffer = std::array<uint8_t, kSize>;

struct Expected {
  SetChannelOutcome outcome;
  AutomationError error;
};

// Channels 1 to 509 are stored and 510 upwards ignored; below 1 a channel is
// out of range, except the smallest Long, whose index (Channel - 1) does not
// fit a Long at all.
enum ChannelKind { kSmallestLong, kBelowFirst, kStoredChannel, kIgnoredChannel };
enum LevelKind { kNegative, kLevel, kAboveLevel };

ChannelKind KindOfChannel(int32_t channel) {
  if (channel == INT32_MIN) return kSmallestLong;
  if (channel < 1) return kBelowFirst;
  return channel <= 509 ? kStoredChannel : kIgnoredChannel;
}

LevelKind KindOfLevel(int32_t value) {
  if (value < 0) return kNegative;
  return value <= 255 ? kLevel : kAboveLevel;
}

constexpr Expected kStored{SetChannelOutcome::Stored, AutomationError::None};
constexpr Expected kIgnored{SetChannelOutcome::Ignored, AutomationError::None};
constexpr Expected kOverflow{SetChannelOutcome::Failed, AutomationError::Overflow};
constexpr Expected kSubscript{SetChannelOutcome::Failed, AutomationError::SubscriptOutOfRange};

// [channel kind][level kind]: an ignored channel wins over a bad level, and
// a bad channel is reported before a bad level.
constexpr Expected kOutcomes[4][3] = {
    //                  negative    0..255      above 255
    /* smallest Long */ {kOverflow,  kOverflow,  kOverflow},
    /* below 1       */ {kSubscript, kSubscript, kSubscript},
    /* 1..509        */ {kOverflow,  kStored,    kOverflow},
    /* 510 and above */ {kIgnored,   kIgnored,   kIgnored},
};

Expected Model(Buffer& buffer, int32_t channel, int32_t value) {
  const Expected outcome = kOutcomes[KindOfChannel(channel)][KindOfLevel(value)];
  if (outcome.outcome == SetChannelOutcome::Stored)
    buffer[static_cast<std::size_t>(channel) - 1] = static_cast<uint8_t>(value);
  return outcome;
}

// An argument: raw 32 bits, an edge value nudged by a little, or a small number.
int32_t Argument(FuzzReader& in, const int32_t (&edges)[12]) {
  const uint8_t pick = in.Byte();
  switch (pick % 4) {
    case 0: return static_cast<int32_t>(static_cast<uint32_t>(in.Bits(4)));
    case 1: {
      const int64_t nudged = int64_t{edges[(pick >> 2) % 12]} + static_cast<int8_t>(in.Byte()) % 3;
      if (nudged < INT32_MIN || nudged > INT32_MAX) return edges[(pick >> 2) % 12];
      return static_cast<int32_t>(nudged);
    }
    case 2: return static_cast<int32_t>(in.Byte() | (in.Byte() & 3) << 8) - 256;  // -256..767
    default: return static_cast<int32_t>(in.Byte()) - 8;
  }
}

constexpr int32_t kChannelEdges[12] = {INT32_MIN, INT32_MIN + 1, -1, 0, 1, 2, 508, 509, 510, 511, 512, INT32_MAX};
constexpr int32_t kValueEdges[12] = {INT32_MIN, INT32_MIN + 1, -256, -1, 0, 1, 127, 128, 254, 255, 256, INT32_MAX};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  FuzzReader in{data, size};

  // The real buffer sits alone in a heap block of exactly its size, so that
  // AddressSanitizer reports any write beside it.
  auto block = std::make_unique<uint8_t[]>(kSize);
  auto& actual = *reinterpret_cast<uint8_t(*)[kSize]>(block.get());
  Buffer expected;
  const uint8_t step = in.Byte(), offset = in.Byte();
  for (std::size_t i = 0; i < kSize; ++i) expected[i] = static_cast<uint8_t>(offset + step * i);
  std::memcpy(actual, expected.data(), kSize);

  while (in.size > 0) {
    const int32_t channel = Argument(in, kChannelEdges);
    const int32_t value = Argument(in, kValueEdges);
    const auto result = selvane::ApplySetChannel(actual, channel, value);
    const Expected want = Model(expected, channel, value);
    FUZZ_CHECK(result.outcome == want.outcome, "outcome");
    FUZZ_CHECK(result.error == want.error, "error");
    FUZZ_CHECK(std::memcmp(actual, expected.data(), kSize) == 0, "buffer");
  }
  return 0;
}
