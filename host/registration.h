#pragma once
#include <windows.h>

namespace selvane {

enum class RegistrationScope { Machine, User };

// Registers the type library, the class as an apartment-threaded in-process
// server and its ProgID. The per-user scope writes only below
// HKEY_CURRENT_USER\Software\Classes.
HRESULT RegisterServer(RegistrationScope scope) noexcept;

// Removes exactly what RegisterServer wrote.
HRESULT UnregisterServer(RegistrationScope scope) noexcept;

}  // namespace selvane
