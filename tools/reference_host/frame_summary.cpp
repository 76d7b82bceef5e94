#include "frame_summary.h"

#include <charconv>
#include <cstdio>

namespace selvane::host {
namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool ParseLine(std::string_view line, double& timeMs, std::vector<uint8_t>& levels) {
  const size_t s1 = line.find(' ');
  if (s1 == std::string_view::npos) return false;
  const size_t s2 = line.find(' ', s1 + 1);
  if (s2 == std::string_view::npos) return false;
  // Times are written with a fixed-point format; parse them without the locale.
  const std::string_view timeText = line.substr(0, s1);
  auto [tp, tec] = std::from_chars(timeText.data(), timeText.data() + timeText.size(), timeMs);
  if (tec != std::errc() || tp != timeText.data() + timeText.size()) return false;
  int count = 0;
  const std::string_view countText = line.substr(s1 + 1, s2 - s1 - 1);
  auto [cp, cec] = std::from_chars(countText.data(), countText.data() + countText.size(), count);
  if (cec != std::errc() || cp != countText.data() + countText.size() || count < 0 || count > 512) return false;
  const std::string_view hex = line.substr(s2 + 1);
  if (hex.size() != static_cast<size_t>(count) * 2) return false;
  levels.resize(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) {
    const int hi = HexDigit(hex[2 * i]), lo = HexDigit(hex[2 * i + 1]);
    if (hi < 0 || lo < 0) return false;
    levels[static_cast<size_t>(i)] = static_cast<uint8_t>(hi * 16 + lo);
  }
  return true;
}

}  // namespace

FrameSummary SummariseFrames(std::string_view text) {
  FrameSummary summary;
  std::vector<uint8_t> levels;
  while (!text.empty()) {
    size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty()) continue;
    double timeMs = 0;
    if (!ParseLine(line, timeMs, levels)) {
      ++summary.malformedLines;
      continue;
    }
    if (summary.frames == 0) summary.firstMs = timeMs;
    else if (timeMs - summary.lastMs > summary.longestGapMs) summary.longestGapMs = timeMs - summary.lastMs;
    summary.lastMs = timeMs;
    summary.lastLevels = levels;
    ++summary.frames;
  }
  if (summary.frames > 1 && summary.lastMs > summary.firstMs)
    summary.framesPerSecond = (summary.frames - 1) * 1000.0 / (summary.lastMs - summary.firstMs);
  return summary;
}

bool OutputStalled(const FrameSummary& summary, double endMs, double quietMs) {
  return summary.frames == 0 || endMs - summary.lastMs > quietMs;
}

std::string LevelsText(const std::vector<uint8_t>& levels, size_t count) {
  std::string text;
  char cell[4];
  for (size_t i = 0; i < count && i < levels.size(); ++i) {
    std::snprintf(cell, sizeof cell, "%02x", levels[i]);
    if (!text.empty()) text += ' ';
    text += cell;
  }
  return text;
}

}  // namespace selvane::host

namespace selvane::host {

std::string LitChannelsText(const std::vector<uint8_t>& levels, size_t count) {
  std::string text;
  char cell[32];
  size_t shown = 0;
  for (size_t i = 0; i < levels.size() && shown < count; ++i) {
    if (levels[i] == 0) continue;
    std::snprintf(cell, sizeof cell, "%zu=%02x", i + 1, levels[i]);
    if (!text.empty()) text += ' ';
    text += cell;
    ++shown;
  }
  return text.empty() ? "none" : text;
}

}  // namespace selvane::host
