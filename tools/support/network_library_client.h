#pragma once
// Calls into one of the network interface libraries loaded in this process:
// the maker's entry points as the vendor contract types them, and the status.
#include <windows.h>

#include "network_status.h"
#include "vendor_contract.h"

template <typename F>
F LibraryEntry(HMODULE library, const char* name) {
  return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(library, name)));
}

// The library's status; `size` stays 0 when it has no SelvaneNetworkStatus.
inline SelvaneNetworkStatusInfo NetworkStatusOf(HMODULE library) {
  SelvaneNetworkStatusInfo status{};
  status.size = sizeof status;
  auto get = LibraryEntry<SelvaneNetworkStatusFunction>(library, "SelvaneNetworkStatus");
  if (!get || !get(&status)) status.size = 0;
  return status;
}
