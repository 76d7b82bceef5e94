#pragma once
#include <windows.h>

#include <cstdint>
#include <string_view>

namespace selvane {

// The one persistent setting, ChannelCount, in the per-user store of
// automation components:
//   HKEY_CURRENT_USER\<kSettingsRoot>\<appTitle>\Plugins\<fileName>
//   value "ChannelCount", REG_SZ, decimal text.
inline constexpr wchar_t kSettingsRoot[] = L"Software\\VB and VBA Program Settings";

// Reads the stored value (default 510 when nothing is stored). On failure
// `channelCount` is left as it was and the HRESULT says why.
HRESULT LoadChannelCount(std::wstring_view appTitle, std::wstring_view fileName,
                         int32_t& channelCount) noexcept;

// Creates the missing keys and replaces the value with the decimal text.
HRESULT SaveChannelCount(std::wstring_view appTitle, std::wstring_view fileName,
                         int32_t channelCount) noexcept;

}  // namespace selvane
