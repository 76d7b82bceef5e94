#include "scene.h"

#include <cstdlib>

namespace selvane::host {

std::vector<int32_t> SceneLevels(const HostOptions& options, int64_t frame) {
  const int channels = options.channels;
  std::vector<int32_t> levels(static_cast<size_t>(channels), 0);
  switch (options.scene) {
    case SceneKind::Chase: {
      const int head = static_cast<int>(frame % channels);
      const int32_t tail[] = {255, 128, 48};
      for (int t = 0; t < 3 && t < channels; ++t) {
        const int ch = ((head - t) % channels + channels) % channels;
        levels[static_cast<size_t>(ch)] = tail[t];
      }
      break;
    }
    case SceneKind::Fade: {
      const int64_t period = 2LL * options.fps;  // two seconds of host frames
      const int64_t phase = frame % period;
      const int64_t half = period / 2 > 0 ? period / 2 : 1;
      const int64_t up = phase <= half ? phase : period - phase;
      const int32_t level = static_cast<int32_t>(up * 255 / half);
      for (auto& l : levels) l = level > 255 ? 255 : level;
      break;
    }
    case SceneKind::Static:
      break;
  }
  return levels;
}

}  // namespace selvane::host
