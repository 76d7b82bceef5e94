#pragma once
// Selvane.network.ini as the engine sees it: looked at no more than once a
// second, so a tick never waits on the disk, and read again only when it has
// changed (appeared, vanished, or been written). Plain C++: the file itself
// is the platform's (EnginePlatform).
#include <cstddef>
#include <cstdint>

#include "network_config.h"

namespace selvane::net {

// What tells one state of the file from another.
struct SettingsStamp {
  uint64_t size = 0;
  uint64_t written = 0;  // the last write time, in the platform's units
  bool operator==(const SettingsStamp&) const = default;
};

class SettingsFile {
 public:
  // Whether the file is there, and its stamp.
  virtual bool Stamp(SettingsStamp& stamp) = 0;
  // Reads up to `capacity` bytes of it into `text`; false when it cannot be read.
  virtual bool Read(char* text, size_t capacity, size_t& size) = 0;

 protected:
  ~SettingsFile() = default;
};

class SettingsWatch {
 public:
  // True when the file was looked at and has changed since the last reading:
  // `result` then holds the new reading.
  bool Refresh(uint64_t nowMs, SettingsFile& file, ConfigResult& result);

  // The next look reads the file again even if it has not changed.
  void RereadAtNextLook() { reread_ = true; }

 private:
  bool looked_ = false;
  uint64_t lastLookMs_ = 0;
  bool present_ = false;
  bool reread_ = false;
  SettingsStamp stamp_;
  char text_[kMaxConfigFileBytes + 1];
};

}  // namespace selvane::net
