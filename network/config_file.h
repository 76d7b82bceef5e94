#pragma once
// Selvane.network.ini beside the library: read when it changed, looked at
// no more than once a second, so a tick never waits on the disk.
#include <windows.h>

#include "network_config.h"

namespace selvane::net {

class ConfigFile {
 public:
  // The file beside `module`.
  void Locate(HMODULE module);
  const wchar_t* Path() const { return path_; }

  // True when the file was looked at and has changed (appeared, vanished or
  // been written) since the last read: `result` then holds the new reading.
  bool Refresh(ULONGLONG nowMs, ConfigResult& result);

  // The next look reads the file again even if it has not changed.
  void RereadAtNextLook() { reread_ = true; }

 private:
  wchar_t path_[MAX_PATH] = L"";
  bool looked_ = false;
  ULONGLONG lastLookMs_ = 0;
  bool present_ = false;
  bool reread_ = false;
  FILETIME written_{};
  ULONGLONG size_ = 0;
  char text_[kMaxConfigFileBytes + 1];
};

}  // namespace selvane::net
