#pragma once
// Reads and writes the plug-in's stored setting directly in the registry, so
// that tests can prepare it and check what the plug-in wrote.
#include <windows.h>

#include <optional>
#include <string>

inline std::wstring SettingKeyPath(const std::wstring& title, const std::wstring& file) {
  return L"Software\\VB and VBA Program Settings\\" + title + L"\\Plugins\\" + file;
}

inline void StoreSetting(const std::wstring& title, const std::wstring& file, const std::wstring& text) {
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, SettingKeyPath(title, file).c_str(), 0, nullptr, 0, KEY_SET_VALUE,
                      nullptr, &key, nullptr) != ERROR_SUCCESS)
    return;
  RegSetValueExW(key, L"ChannelCount", 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                 static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(key);
}

inline std::optional<std::wstring> ReadSetting(const std::wstring& title, const std::wstring& file) {
  wchar_t text[64] = {};
  DWORD size = sizeof text - sizeof(wchar_t);
  DWORD type = 0;
  if (RegGetValueW(HKEY_CURRENT_USER, SettingKeyPath(title, file).c_str(), L"ChannelCount", RRF_RT_ANY, &type,
                   text, &size) != ERROR_SUCCESS || type != REG_SZ)
    return std::nullopt;
  return std::wstring(text);
}

inline void DeleteApplicationSettings(const std::wstring& title) {
  RegDeleteTreeW(HKEY_CURRENT_USER, (L"Software\\VB and VBA Program Settings\\" + title).c_str());
}

// A title no other test run uses.
inline std::wstring UniqueTitle(const wchar_t* base) {
  return std::wstring(base) + L" " + std::to_wstring(GetCurrentProcessId()) + L"." +
         std::to_wstring(GetTickCount64());
}
