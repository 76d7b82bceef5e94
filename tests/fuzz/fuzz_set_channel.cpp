// Fuzzes ApplySetChannel against a model that works in 64-bit arithmetic with
// explicit range checks, over a sequence of calls on one buffer.
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

Expected Model(Buffer& buffer, int64_t channel, int64_t value) {
  if (channel >= 510) return {SetChannelOutcome::Ignored, AutomationError::None};
  const int64_t index = channel - 1;
  // Channel - 1 does not fit a Long only for the smallest Long.
  if (index < -2147483648LL) return {SetChannelOutcome::Failed, AutomationError::Overflow};
  if (index < 0 || index > 509) return {SetChannelOutcome::Failed, AutomationError::SubscriptOutOfRange};
  if (value < 0 || value > 255) return {SetChannelOutcome::Failed, AutomationError::Overflow};
  buffer[static_cast<std::size_t>(index)] = static_cast<uint8_t>(value);
  return {SetChannelOutcome::Stored, AutomationError::None};
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
