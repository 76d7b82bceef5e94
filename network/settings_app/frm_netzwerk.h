#pragma once
#include <windows.h>

namespace selvane::netsettings {

// Shows the "Selvane Netzwerk" window for the settings in force beside
// `libraryFolder` (else the user's own) and runs it until it is closed.
// Returns the process exit code.
int RunFrmNetzwerk(const wchar_t* libraryFolder, int showCommand) noexcept;

}  // namespace selvane::netsettings
