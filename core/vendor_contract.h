#pragma once
// The contract between the plug-in and an interface library, as the maker's
// DMX60.dll, DMX120.dll and DMX510.dll define it. The core's bindings, our
// network libraries and the vendor doubles all take it from here, and the
// build writes their .def files from kVendorLibraries (cmake/SelvaneDefFiles.cmake
// reads the table's rows: keep each on one line).
#include <cstdint>

namespace selvane::vendor {

// Every entry point answers a 16-bit integer: nonzero goes on, 0 pauses output.
using Result = int16_t;

// Channels sent per tick by the per-channel interfaces.
inline constexpr int kDmx60Channels = 64;
inline constexpr int kDmx120Channels = 120;
// The count handed to SetLevel: 509, one less than the buffer holds.
inline constexpr int32_t kSetLevelCount = 509;

inline constexpr char kOutDmxEntry[] = "OutDMX";      // OutDMX(Byte index, Byte level), stdcall
inline constexpr char kSetLevelEntry[] = "SetLevel";  // SetLevel(address, 32-bit count), stdcall

struct Library {
  const wchar_t* file;         // the name the plug-in loads
  const char* entry;           // kOutDmxEntry or kSetLevelEntry
  int channels;                // OutDMX: indices 0..channels-1 per tick; SetLevel: the count
  const wchar_t* displayName;  // the interface's name for a user
};

// In the order of InterfaceType (interface_selector.h).
inline constexpr Library kVendorLibraries[] = {
    {L"DMX60.dll", kOutDmxEntry, kDmx60Channels, L"DMX-60"},
    {L"DMX120.dll", kOutDmxEntry, kDmx120Channels, L"DMX-120"},
    {L"DMX510.dll", kSetLevelEntry, kSetLevelCount, L"DMX-510USB"},
};

#ifdef _WIN32
using OutDmxFunction = Result(__stdcall*)(uint8_t index, uint8_t level);
using SetLevelFunction = Result(__stdcall*)(const uint8_t* levels, int32_t count);
#endif

}  // namespace selvane::vendor
