#pragma once
#include <windows.h>

namespace selvane {

struct ThreadState;

// The "Konfiguration" dialog of the calling thread. Creates the kept window
// object on first use, loads the window afresh (selecting the option for the
// thread's ChannelCount), shows it modally without an owner and returns when
// the user has closed it; closing writes ChannelCount.
HRESULT ShowFrmConfig(ThreadState& thread) noexcept;

}  // namespace selvane
