#pragma once
// The display side of the vendor doubles, for using them as virtual
// interfaces. Set in the environment of the host process:
//   SELVANE_VIRTUAL_FRAMES=<file>   every frame is appended to the file, one line each:
//                                   "<time ms> <channel count> <levels as hex>"
//   SELVANE_VIRTUAL_VIEW=1          a compact live view on stderr, a few times a second
//   SELVANE_VIRTUAL_ZERO_AFTER=<n>  every call answers 0 once n frames were received
#include <cstdint>

void VirtualViewStart(const char* interfaceName);
void VirtualViewStop();
// Called with each complete frame the interface received.
void VirtualViewFrame(double timeMs, const uint8_t* levels, int count, int frameNumber);
// Whether frames go anywhere (a file or the live view).
bool VirtualViewActive();
// The initial "answer 0 after" setting from the environment, or -1.
int32_t VirtualViewZeroAfter();
