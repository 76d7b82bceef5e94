#pragma once
#include <cstddef>
#include <cstdint>
#include <type_traits>

namespace selvane {

inline constexpr std::size_t kChannelBufferSize = 510;

// The state shared by every output driver object, the timer window and the
// dialog of one host thread. It is a plain aggregate so that a zero-filled
// block is a valid initial state, and it lives in one allocation per thread so
// that the buffer's address never changes while a vendor library holds it.
struct DriverState {
  // Nonzero: a timer tick transmits. Overwritten by every vendor call.
  int16_t OutputActive;
  // Index i holds the level of DMX channel i + 1.
  uint8_t ChannelBuffer[kChannelBufferSize];
  // The interface selector (see interface_selector.h).
  int32_t ChannelCount;
};

static_assert(std::is_trivial_v<DriverState> && std::is_standard_layout_v<DriverState>);

}  // namespace selvane
