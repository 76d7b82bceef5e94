#pragma once
// The levels a scene gives each channel at a moment of the run.
#include <cstdint>
#include <vector>

#include "host_options.h"

namespace selvane::host {

// Levels for channels 1..channels (index 0 is channel 1) at host frame `frame`.
// Chase: one channel at full, moving one channel per frame, with a short tail.
// Fade: every channel together, up and down once every two seconds.
// Static: the given levels, 0 elsewhere (levels outside 0..255 are passed on
// unchanged, so that the plug-in's own checks can be seen).
std::vector<int32_t> SceneLevels(const HostOptions& options, int64_t frame);

}  // namespace selvane::host
