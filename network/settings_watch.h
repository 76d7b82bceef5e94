#pragma once
// Selvane.network.ini as the engine sees it: looked at no more than once a
// second, so a tick never waits on the disk, and read again only when it has
// changed (appeared, vanished, or been written). A file is used only once it
// has not changed for a settling time and no writer holds it open: an editor
// that saves in parts must not have its first part sent with. Plain C++: the
// file itself is the platform's (EnginePlatform).
#include <cstddef>
#include <cstdint>

#include "network_config.h"

namespace selvane::net {

// What tells one state of the file from another.
struct SettingsStamp {
  uint64_t size = 0;
  uint64_t written = 0;  // the last write time, in the platform's units
  uint64_t ageMs = 0;    // how long ago that was, by the file system's clock (0 if in the future)
  bool operator==(const SettingsStamp& other) const { return size == other.size && written == other.written; }
};

enum class ReadOutcome {
  Read,
  Unreadable,
  InUse,  // a writer still holds the file open
};

class SettingsFile {
 public:
  // Whether the file is there, and its stamp.
  virtual bool Stamp(SettingsStamp& stamp) = 0;
  // Reads up to `capacity` bytes of it into `text`; `evenInUse`: also while
  // a writer holds it open.
  virtual ReadOutcome Read(char* text, size_t capacity, size_t& size, bool evenInUse) = 0;

 protected:
  ~SettingsFile() = default;
};

inline constexpr uint64_t kSettingsLookMs = 1000;
inline constexpr uint64_t kSettlingMs = 250;
// A file its writer holds open but has not changed for this long is taken as
// written: some editors keep their file open.
inline constexpr uint64_t kHeldOpenSettledMs = 2000;

class SettingsWatch {
 public:
  // Whether a look at the file is due: inline, since every call asks.
  bool Due(uint64_t nowMs) const {
    return !looked_ || nowMs - lastLookMs_ >= (settling_ ? kSettlingMs : kSettingsLookMs);
  }

  // True when the file was looked at and has changed since the last reading:
  // `result` then holds the new reading.
  bool Refresh(uint64_t nowMs, SettingsFile& file, ConfigResult& result);

  // The next look reads the file again even if it has not changed.
  void RereadAtNextLook() { reread_ = true; }

  // A changed file waits to settle: nothing has been read of it yet.
  bool Settling() const { return settling_; }

 private:
  bool looked_ = false;
  bool settling_ = false;
  uint64_t stampSinceMs_ = 0;  // when the file was first seen as it is
  uint64_t lastLookMs_ = 0;
  bool present_ = false;
  bool reread_ = false;
  SettingsStamp stamp_;
  char text_[kMaxConfigFileBytes + 1];
};

}  // namespace selvane::net
