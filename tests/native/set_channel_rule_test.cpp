#include "set_channel_rule.h"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>

using selvane::AutomationError;
using selvane::ApplySetChannel;
using selvane::SetChannelOutcome;

namespace {

struct Case {
  int32_t channel;
  int32_t value;
  SetChannelOutcome outcome;
  AutomationError error;
};

constexpr int32_t kMin = std::numeric_limits<int32_t>::min();
constexpr int32_t kMax = std::numeric_limits<int32_t>::max();

}  // namespace

TEST(SetChannelRule, OutcomesAndCheckOrder) {
  using O = SetChannelOutcome;
  using E = AutomationError;
  const Case cases[] = {
      {1, 255, O::Stored, E::None},
      {509, 0, O::Stored, E::None},
      {509, 255, O::Stored, E::None},
      {510, 7, O::Ignored, E::None},  // channel 510 is refused although entry 509 exists
      {512, 7, O::Ignored, E::None},
      {kMax, 7, O::Ignored, E::None},
      {600, 300, O::Ignored, E::None},   // the channel test comes first
      {510, -1, O::Ignored, E::None},
      {0, 7, O::Failed, E::SubscriptOutOfRange},
      {-5, 7, O::Failed, E::SubscriptOutOfRange},
      {0, 300, O::Failed, E::SubscriptOutOfRange},  // index before value
      {kMin + 1, 7, O::Failed, E::SubscriptOutOfRange},
      {kMin, 7, O::Failed, E::Overflow},  // Channel - 1 overflows
      {kMin, 300, O::Failed, E::Overflow},
      {10, 256, O::Failed, E::Overflow},
      {10, -1, O::Failed, E::Overflow},
      {10, kMin, O::Failed, E::Overflow},
      {10, kMax, O::Failed, E::Overflow},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "channel " << c.channel << " value " << c.value);
    uint8_t buffer[selvane::kChannelBufferSize];
    std::memset(buffer, 0x5A, sizeof buffer);
    uint8_t before[sizeof buffer];
    std::memcpy(before, buffer, sizeof buffer);

    const auto result = ApplySetChannel(buffer, c.channel, c.value);
    EXPECT_EQ(result.outcome, c.outcome);
    EXPECT_EQ(result.error, c.error);
    if (c.outcome == O::Stored) {
      EXPECT_EQ(buffer[c.channel - 1], c.value);
      before[c.channel - 1] = static_cast<uint8_t>(c.value);
    }
    EXPECT_EQ(std::memcmp(buffer, before, sizeof buffer), 0) << "only the one entry may change";
  }
}

TEST(SetChannelRule, LastEntryIsNeverWritten) {
  uint8_t buffer[selvane::kChannelBufferSize] = {};
  for (int32_t channel = -600; channel <= 600; ++channel) ApplySetChannel(buffer, channel, 99);
  EXPECT_EQ(buffer[509], 0);
  EXPECT_EQ(buffer[508], 99);
  EXPECT_EQ(buffer[0], 99);
}
