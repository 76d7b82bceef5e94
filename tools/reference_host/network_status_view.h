#pragma once
// selvane-host's view of a network interface library (network/): when the
// library the plug-in loaded has the SelvaneNetworkStatus export, its status
// takes the place of the virtual interface's frame summary.
#include <string>

namespace selvane::host {

struct NetworkStatusView {
  bool present = false;  // the loaded library is a network interface library
  bool usable = false;   // its configuration is in use
  std::string problem;   // why not, or the last send error
};

// Prints the status of `dll` (e.g. "DMX510.dll") if it is a loaded network library.
NetworkStatusView ShowNetworkStatus(const std::wstring& dll);

}  // namespace selvane::host
