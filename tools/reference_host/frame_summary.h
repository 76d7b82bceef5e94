#pragma once
// What a virtual interface saw during a run, from its frames file.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace selvane::host {

struct FrameSummary {
  int frames = 0;
  double firstMs = 0;
  double lastMs = 0;
  double framesPerSecond = 0;  // over the span from the first to the last frame
  double longestGapMs = 0;
  std::vector<uint8_t> lastLevels;
  int malformedLines = 0;
};

// Reads lines "<time ms> <channel count> <levels as hex>".
FrameSummary SummariseFrames(std::string_view fileText);

// Output stopped early: no frame at all, or none during the last `quietMs`
// before `endMs` (on the frames' clock).
bool OutputStalled(const FrameSummary& summary, double endMs, double quietMs);

// "119=30 120=80 121=ff" for the first `count` channels that are not 0.
std::string LitChannelsText(const std::vector<uint8_t>& levels, size_t count);

// "00 ff 80 ..." for the first `count` levels.
std::string LevelsText(const std::vector<uint8_t>& levels, size_t count);

}  // namespace selvane::host
