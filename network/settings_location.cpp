#include "settings_location.h"

#include <windows.h>

#include <cwchar>

namespace selvane::net {
namespace {

constexpr wchar_t kFileName[] = L"Selvane.network.ini";
constexpr wchar_t kUserFolder[] = L"Selvane";

bool Join(wchar_t* out, const wchar_t* folder, const wchar_t* name) noexcept {
  const size_t n = std::wcslen(folder);
  const bool slash = n > 0 && (folder[n - 1] == L'\\' || folder[n - 1] == L'/');
  const int written = std::swprintf(out, kSettingsPathChars, L"%ls%ls%ls", folder, slash ? L"" : L"\\", name);
  return written > 0 && static_cast<size_t>(written) < kSettingsPathChars;
}

bool IsFile(const wchar_t* path) noexcept {
  const DWORD attributes = GetFileAttributesW(path);
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Tries what a save does, leaving nothing behind: open the file for writing,
// and create a file beside it.
bool CanWriteBeside(const wchar_t* path) noexcept {
  const DWORD attributes = GetFileAttributesW(path);
  // A replace refuses a read-only file, whoever asks.
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) return false;
  if (attributes != INVALID_FILE_ATTRIBUTES) {
    HANDLE file = CreateFileW(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    CloseHandle(file);
  }
  wchar_t probe[kSettingsPathChars + 8];
  if (std::swprintf(probe, kSettingsPathChars + 8, L"%ls.probe", path) < 0) return false;
  HANDLE file = CreateFileW(probe, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  CloseHandle(file);
  return true;
}

}  // namespace

bool SettingsPathInForce(const wchar_t* libraryFolder, wchar_t* path, bool& besideLibraries) noexcept {
  besideLibraries = Join(path, libraryFolder, kFileName) && IsFile(path);
  if (besideLibraries) return true;
  path[0] = L'\0';
  wchar_t appData[kSettingsPathChars], folder[kSettingsPathChars];
  const DWORD n = GetEnvironmentVariableW(L"APPDATA", appData, kSettingsPathChars);
  return n > 0 && n < kSettingsPathChars && Join(folder, appData, kUserFolder) && Join(path, folder, kFileName);
}

bool LocateSettings(const wchar_t* libraryFolder, SettingsLocation& location) noexcept {
  location = SettingsLocation{};
  if (!SettingsPathInForce(libraryFolder, location.path, location.besideLibraries)) return false;
  if (location.besideLibraries) {
    location.writable = CanWriteBeside(location.path);
    return true;
  }
  // A folder that is not there yet counts as writable: a save makes it.
  wchar_t folder[kSettingsPathChars];
  std::wcscpy(folder, location.path);
  *std::wcsrchr(folder, L'\\') = L'\0';
  location.writable = GetFileAttributesW(folder) == INVALID_FILE_ATTRIBUTES || CanWriteBeside(location.path);
  return true;
}

}  // namespace selvane::net
