#pragma once
#include <windows.h>
#include <oaidl.h>

namespace selvane {

// The type library embedded in this module (resource TYPELIB 1), loaded from
// the module's own path without registering it.
HRESULT LoadOwnTypeLibrary(ITypeLib** library) noexcept;

// The type information of _clsOutputDriver, loaded once and kept while
// objects exist. The caller gets its own reference.
HRESULT OutputDriverTypeInfo(ITypeInfo** info) noexcept;

// Drops the kept type information (the last object has gone).
void ReleaseOutputDriverTypeInfo() noexcept;

}  // namespace selvane
