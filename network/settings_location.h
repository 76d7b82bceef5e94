#pragma once
// Which Selvane.network.ini is in force. A file beside the libraries comes
// first (a portable copy, or a set-up fixed by an administrator), so existing
// set-ups keep working; otherwise the user's own,
// %APPDATA%\Selvane\Selvane.network.ini.
#include <cstddef>

namespace selvane::net {

inline constexpr size_t kSettingsPathChars = 300;

struct SettingsLocation {
  wchar_t path[kSettingsPathChars] = L"";
  bool besideLibraries = false;
  // Whether a save there can succeed: the file (if it exists) can be written
  // and its folder takes the temporary file of an atomic replace. A missing
  // per-user folder counts as writable: saving creates it.
  bool writable = false;
};

// `libraryFolder`: the folder of the interface libraries, with or without a
// trailing backslash. False when neither path can be made (no %APPDATA%, too long).
bool LocateSettings(const wchar_t* libraryFolder, SettingsLocation& location) noexcept;

// The path alone, without trying whether it can be written: what the
// libraries look at, once a second. `path` holds kSettingsPathChars.
bool SettingsPathInForce(const wchar_t* libraryFolder, wchar_t* path, bool& besideLibraries) noexcept;

}  // namespace selvane::net
