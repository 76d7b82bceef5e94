#include "settings_watch.h"

namespace selvane::net {

bool SettingsWatch::Refresh(uint64_t nowMs, SettingsFile& file, ConfigResult& result) {
  if (!Due(nowMs)) return false;
  const bool first = !looked_;
  looked_ = true;
  lastLookMs_ = nowMs;

  SettingsStamp stamp;
  const bool present = file.Stamp(stamp);
  const bool changed = first || reread_ || present != present_ || (present && !(stamp == stamp_));
  if (!changed && !settling_) return false;
  if (changed) stampSinceMs_ = nowMs;
  present_ = present;
  stamp_ = stamp;
  // Written just now and not seen before: look again once it has had time to
  // settle. Unchanged since a look a settling time ago, it has.
  settling_ = present && changed && stamp.ageMs < kSettlingMs;
  if (settling_) return false;
  reread_ = false;

  // `result` holds the reading in use until there is a new one.
  ConfigResult reading;
  size_t size = 0;
  if (!present) {
    reading.problem = ConfigProblem::NoFile;
  } else if (stamp.size > kMaxConfigFileBytes) {
    reading.problem = ConfigProblem::TooLarge;
  } else {
    const bool heldOpenButSettled = nowMs - stampSinceMs_ >= kHeldOpenSettledMs;
    switch (file.Read(text_, sizeof text_, size, heldOpenButSettled)) {
      case ReadOutcome::InUse:
        settling_ = true;  // its writer is not done: no fault, look again soon
        return false;
      case ReadOutcome::Unreadable:
        reading.problem = ConfigProblem::Unreadable;
        reread_ = true;
        break;
      case ReadOutcome::Read:
        reading = ParseNetworkConfig(text_, size);
        break;
    }
  }
  result = reading;
  return true;
}

}  // namespace selvane::net
