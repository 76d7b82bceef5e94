#pragma once
#include <cstdint>
#include <limits>

#include "automation_error.h"
#include "driver_state.h"

namespace selvane {

enum class SetChannelOutcome { Stored, Ignored, Failed };

struct SetChannelResult {
  SetChannelOutcome outcome;
  AutomationError error;  // set when outcome is Failed
};

// Channels 1 to 509 are stored. Channel 510 and above are ignored, although
// the buffer has an entry 509: the last entry is never written.
inline constexpr int32_t kFirstIgnoredChannel = 510;

// Checks a host's SetChannel(Channel, Value) in the order the host relies on
// and stores the level when every check passes:
//   1. Channel >= 510          -> ignored, nothing changes
//   2. Channel - 1 overflows   -> Overflow (only for the smallest Long)
//   3. index outside 0..509    -> SubscriptOutOfRange
//   4. Value outside 0..255    -> Overflow
// A failing call leaves the buffer unchanged.
constexpr SetChannelResult ApplySetChannel(uint8_t (&buffer)[kChannelBufferSize], int32_t channel,
                                           int32_t value) {
  if (channel >= kFirstIgnoredChannel) return {SetChannelOutcome::Ignored, AutomationError::None};
  if (channel == std::numeric_limits<int32_t>::min())
    return {SetChannelOutcome::Failed, AutomationError::Overflow};
  const int32_t index = channel - 1;
  if (index < 0 || index >= static_cast<int32_t>(kChannelBufferSize))
    return {SetChannelOutcome::Failed, AutomationError::SubscriptOutOfRange};
  if (value < 0 || value > 255) return {SetChannelOutcome::Failed, AutomationError::Overflow};
  buffer[index] = static_cast<uint8_t>(value);
  return {SetChannelOutcome::Stored, AutomationError::None};
}

}  // namespace selvane
