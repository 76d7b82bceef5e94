#pragma once
// The name of a COM port as a user writes it ("COM3", "com3", "\\.\COM12"),
// and the full device name that opens it. Plain C++.
#include <cstddef>
#include <string_view>

namespace selvane::net {

inline constexpr unsigned kFirstComPort = 1;
inline constexpr unsigned kLastComPort = 256;
// "\\.\COM256" and its terminating zero.
inline constexpr size_t kComDeviceNameSize = 11;

struct ComPortName {
  unsigned number = 0;
  wchar_t device[kComDeviceNameSize] = {};  // "\\.\COMn": every port, COM10 and above too
};

// False for anything but COM1 to COM256 (any case, no blanks, no leading
// zeros), with or without the "\\.\" in front.
bool ParseComPortName(std::string_view text, ComPortName& port);

}  // namespace selvane::net
