#pragma once
// What the network interface libraries (DMX60.dll, DMX120.dll, DMX510.dll
// from network/) tell a host about their output, through their extra export
// SelvaneNetworkStatus. A host finds it with GetProcAddress on the library the
// plug-in loaded; the maker's libraries do not have it.
#include <stdint.h>
#include <wchar.h>

extern "C" {

struct SelvaneNetworkStatusInfo {
  uint32_t size;              // set by the caller: sizeof(SelvaneNetworkStatusInfo)
  int32_t usable;             // 1: the configuration is in use; 0: calls answer 0, see `problem`
  int32_t protocol;           // 0: no configuration read yet, 1: sACN, 2: Art-Net, 3: USB-Pro
  uint32_t destination;       // IPv4 address the packets go to, host byte order
  uint16_t port;              // the UDP port; for USB-Pro the COM port's number
  uint16_t universe;          // sACN universe or Art-Net port-address
  int32_t priority;           // sACN only
  uint32_t framesSent;
  uint32_t sendErrors;        // sends that failed for a moment; output goes on
  int32_t lastSendError;      // Winsock (USB-Pro: Windows) error of the last failed send, 0 if none
  uint32_t problemsReported;  // distinct problems reported through OutputDebugStringW
  wchar_t interfaceName[16];  // "DMX-60", "DMX-120" or "DMX-510USB"
  wchar_t configFile[260];    // the Selvane.network.ini in force (beside the library, else the user's), full path
  wchar_t sourceName[64];     // sACN: the source name; USB-Pro: the interface's serial number, once it told it
  wchar_t problem[320];       // why the configuration cannot be used, or the last send error
};

// Fills `status` and returns 1; returns 0 when `status` is null or too small.
typedef int32_t(__stdcall* SelvaneNetworkStatusFunction)(SelvaneNetworkStatusInfo* status);

}  // extern "C"
