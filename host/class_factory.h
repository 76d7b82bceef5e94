#pragma once
#include <windows.h>
#include <unknwn.h>

namespace selvane {

// The class factory of clsOutputDriver: one static instance per process.
IClassFactory& OutputDriverClassFactory() noexcept;

}  // namespace selvane
