#pragma once
// Command line of selvane-host, the reference host. Plain C++, tested natively.
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace selvane::host {

enum class SceneKind { Static, Chase, Fade };

struct HostOptions {
  std::string progId = "Selvane.clsOutputDriver";
  std::string title = "Selvane Host";
  std::string fileName = "Selvane.out.dll";
  // The stored interface selector to write before Init: 64, 120 or 510.
  std::optional<int32_t> interfaceSelector;
  bool configure = false;
  SceneKind scene = SceneKind::Chase;
  std::vector<std::pair<int32_t, int32_t>> staticLevels;  // channel, value
  double seconds = 5;
  int fps = 40;  // the host's own frame rate for SetChannel
  int channels = 509;
  std::string framesFile;  // empty: a temporary file
  bool liveView = false;
  std::optional<int32_t> zeroAfterFrames;
  bool help = false;
  bool version = false;
};

struct ParsedOptions {
  HostOptions options;
  std::string error;  // empty when the command line was valid
};

ParsedOptions ParseHostOptions(const std::vector<std::string>& args);

const char* HostUsage();

}  // namespace selvane::host
