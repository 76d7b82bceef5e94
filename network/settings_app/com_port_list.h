#pragma once
// The COM ports that exist on this machine, for the "Anschluss:" list.
#include <string>
#include <vector>

namespace selvane::netsettings {

// "COM1", "COM3", … in ascending order, each once; empty when there are none.
std::vector<std::wstring> ExistingComPorts();

}  // namespace selvane::netsettings
