#include "settings_watch.h"

namespace selvane::net {

bool SettingsWatch::Refresh(uint64_t nowMs, SettingsFile& file, ConfigResult& result) {
  if (looked_ && nowMs - lastLookMs_ < 1000) return false;
  const bool first = !looked_;
  looked_ = true;
  lastLookMs_ = nowMs;

  SettingsStamp stamp;
  const bool present = file.Stamp(stamp);
  const bool reread = reread_;
  reread_ = false;
  if (!first && !reread && present == present_ && (!present || stamp == stamp_)) return false;
  present_ = present;
  stamp_ = stamp;

  result = ConfigResult{};
  if (!present) {
    result.problem = ConfigProblem::NoFile;
    return true;
  }
  if (stamp.size > kMaxConfigFileBytes) {
    result.problem = ConfigProblem::TooLarge;
    return true;
  }
  size_t size = 0;
  if (!file.Read(text_, sizeof text_, size)) {
    result.problem = ConfigProblem::Unreadable;
    reread_ = true;
    return true;
  }
  result = ParseNetworkConfig(text_, size);
  return true;
}

}  // namespace selvane::net
