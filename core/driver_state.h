#pragma once
#include <cstddef>
#include <cstdint>
#include <type_traits>

namespace selvane {

inline constexpr std::size_t kChannelBufferSize = 510;
// A whole DMX universe: what a careless interface library may write at the
// levels' address although it is handed 509.
inline constexpr std::size_t kUniverseSlots = 512;

// The state shared by every output driver object, the timer window and the
// dialog of one host thread. It is a plain aggregate so that a zero-filled
// block is a valid initial state, and it lives in one allocation per thread so
// that the buffer's address never changes while a vendor library holds it.
struct DriverState {
  // Nonzero: a timer tick transmits. Overwritten by every vendor call.
  int16_t OutputActive;
  // Index i holds the level of DMX channel i + 1.
  uint8_t ChannelBuffer[kChannelBufferSize];
  // Written only by a library that writes a whole universe at the buffer;
  // nothing reads it.
  uint8_t UniverseSpill[4];
  // The interface selector (see interface_selector.h).
  int32_t ChannelCount;
};

static_assert(std::is_trivial_v<DriverState> && std::is_standard_layout_v<DriverState>);
static_assert(offsetof(DriverState, OutputActive) == 0 && offsetof(DriverState, ChannelBuffer) == 2);
static_assert(offsetof(DriverState, ChannelCount) >= offsetof(DriverState, ChannelBuffer) + kUniverseSlots,
              "a whole universe written at the buffer must not reach the interface selector");

}  // namespace selvane
