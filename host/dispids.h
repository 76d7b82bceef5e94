/* The fixed dispatch identifiers of _clsOutputDriver, in slot order. Hosts
   compiled against the type library call by these numbers, so they never
   change. selvane.idl includes this file for its [id()] attributes: outside
   C++ it holds preprocessor definitions only. */
#ifndef SELVANE_DISPIDS_H
#define SELVANE_DISPIDS_H

#define SELVANE_DISPID_DISABLE 0x60030000
#define SELVANE_DISPID_ENABLE 0x60030001
#define SELVANE_DISPID_PLUGINNAME 0x60030002
#define SELVANE_DISPID_SETCHANNEL 0x60030003
#define SELVANE_DISPID_CONFIGURE 0x60030004
#define SELVANE_DISPID_INIT 0x60030005
#define SELVANE_DISPID_TERM 0x60030006

#ifdef __cplusplus
#include <cstdint>

namespace selvane {

inline constexpr int32_t kDispidDisable = SELVANE_DISPID_DISABLE;
inline constexpr int32_t kDispidEnable = SELVANE_DISPID_ENABLE;
inline constexpr int32_t kDispidPluginName = SELVANE_DISPID_PLUGINNAME;
inline constexpr int32_t kDispidSetChannel = SELVANE_DISPID_SETCHANNEL;
inline constexpr int32_t kDispidConfigure = SELVANE_DISPID_CONFIGURE;
inline constexpr int32_t kDispidInit = SELVANE_DISPID_INIT;
inline constexpr int32_t kDispidTerm = SELVANE_DISPID_TERM;

}  // namespace selvane
#endif

#endif
