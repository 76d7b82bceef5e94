#pragma once
#include <windows.h>

namespace selvane {

// The fixed dispatch identifiers of _clsOutputDriver, in slot order.
inline constexpr DISPID kDispidDisable = 0x60030000;
inline constexpr DISPID kDispidEnable = 0x60030001;
inline constexpr DISPID kDispidPluginName = 0x60030002;
inline constexpr DISPID kDispidSetChannel = 0x60030003;
inline constexpr DISPID kDispidConfigure = 0x60030004;
inline constexpr DISPID kDispidInit = 0x60030005;
inline constexpr DISPID kDispidTerm = 0x60030006;

}  // namespace selvane
