#include "settings_store.h"

#include <algorithm>

#include "automation_hresult.h"
#include "heap_text.h"
#include "settings_text.h"

namespace selvane {
namespace {

constexpr int32_t kDefaultChannelCount = 510;
constexpr wchar_t kSection[] = L"\\Plugins\\";
constexpr wchar_t kValueName[] = L"ChannelCount";
// Stored text is read as text, never expanded; other value types are no number.
constexpr DWORD kTextOnly = RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND;

// A name that no key can carry: the store is then not addressable at all.
bool Addressable(std::wstring_view name) {
  return !name.empty() && name.find(L'\0') == std::wstring_view::npos;
}

// Every part of a name between backslashes becomes one key name, which the
// registry limits to 255 characters. Checked first, so that loading gives the
// same answer whether or not the parent keys exist, and a save that cannot
// succeed creates no partial keys.
constexpr std::size_t kMaxKeyNameLength = 255;
// The whole path is limited too: the system names a key by its full path,
// "\REGISTRY\USER\<the user's SID>\" and then this one, in at most 32767
// characters, and cuts what is longer. 256 characters are kept for the
// user's root.
constexpr std::size_t kMaxKeyPathLength = 32767 - 256;

bool FitsKeyNames(std::wstring_view name) {
  for (std::size_t start = 0;;) {
    const std::size_t end = name.find(L'\\', start);
    const std::size_t length = (end == std::wstring_view::npos ? name.size() : end) - start;
    if (length > kMaxKeyNameLength) return false;
    if (end == std::wstring_view::npos) return true;
    start = end + 1;
  }
}

// The key path below HKEY_CURRENT_USER, or why there is none.
HRESULT KeyPath(std::wstring_view appTitle, std::wstring_view fileName, HeapText& path) noexcept {
  const std::size_t length = std::size(kSettingsRoot) - 1 + 1 + appTitle.size() + std::size(kSection) - 1 + fileName.size();
  if (!FitsKeyNames(appTitle) || !FitsKeyNames(fileName) || length > kMaxKeyPathLength) return E_INVALIDARG;
  if (!path.Reserve(length) || !path.Append(kSettingsRoot) || !path.Append(L"\\") || !path.Append(appTitle) ||
      !path.Append(kSection) || !path.Append(fileName))
    return E_OUTOFMEMORY;
  return S_OK;
}

bool NothingStored(LSTATUS status) {
  return status == ERROR_FILE_NOT_FOUND || status == ERROR_PATH_NOT_FOUND;
}

// The stored text as the registry hands it over: any byte count, with or
// without a terminating NUL. The text ends at the first NUL.
LSTATUS ReadStoredText(const wchar_t* path, HeapText& text) noexcept {
  // The value may change between the size query and the read; try again then.
  for (int attempt = 0; attempt < 4; ++attempt) {
    DWORD bytes = 0;
    LSTATUS status = RegGetValueW(HKEY_CURRENT_USER, path, kValueName, kTextOnly, nullptr, nullptr, &bytes);
    if (status != ERROR_SUCCESS) return status;
    // Room for an odd last byte and a terminator the value may lack.
    const std::size_t chars = bytes / sizeof(wchar_t) + 2;
    if (!text.Reserve(chars)) return ERROR_NOT_ENOUGH_MEMORY;
    for (std::size_t i = 0; i < text.Capacity(); ++i) text.Buffer()[i] = L'\0';
    bytes = static_cast<DWORD>(text.Capacity() * sizeof(wchar_t));
    status = RegGetValueW(HKEY_CURRENT_USER, path, kValueName, kTextOnly, nullptr, text.Buffer(), &bytes);
    if (status == ERROR_MORE_DATA) continue;
    if (status != ERROR_SUCCESS) return status;
    const std::wstring_view all(text.Buffer(), bytes / sizeof(wchar_t));  // an odd last byte is no character
    text.SetLength(std::min(all.find(L'\0'), all.size()));
    return ERROR_SUCCESS;
  }
  return ERROR_MORE_DATA;
}

}  // namespace

HRESULT LoadChannelCount(std::wstring_view appTitle, std::wstring_view fileName, int32_t& channelCount) noexcept {
  // Term before Init, or a host that passes no names: nothing can be stored there.
  if (!Addressable(appTitle) || !Addressable(fileName)) {
    channelCount = kDefaultChannelCount;
    return S_OK;
  }
  HeapText path;
  if (HRESULT hr = KeyPath(appTitle, fileName, path); FAILED(hr)) return hr;

  HeapText stored;
  const LSTATUS status = ReadStoredText(path.c_str(), stored);
  if (NothingStored(status)) {
    channelCount = kDefaultChannelCount;
    return S_OK;
  }
  // A number stored as REG_DWORD or binary is not text, so not a number either.
  if (status == ERROR_UNSUPPORTED_TYPE) return AutomationHresult(AutomationError::TypeMismatch);
  if (status != ERROR_SUCCESS) return HRESULT_FROM_WIN32(status);

  const std::u16string_view text(reinterpret_cast<const char16_t*>(stored.c_str()), stored.size());
  const LongFromText parsed = ParseLongText(text);
  if (parsed.error != AutomationError::None) return AutomationHresult(parsed.error);
  channelCount = parsed.value;
  return S_OK;
}

HRESULT SaveChannelCount(std::wstring_view appTitle, std::wstring_view fileName, int32_t channelCount) noexcept {
  // Dropping the setting silently would report a failure as success.
  if (!Addressable(appTitle) || !Addressable(fileName)) return AutomationHresult(AutomationError::InvalidProcedureCall);
  HeapText path;
  if (HRESULT hr = KeyPath(appTitle, fileName, path); FAILED(hr)) return hr;

  const LongText text = FormatLongText(channelCount);
  // Creates the missing keys and replaces the value.
  const LSTATUS status = RegSetKeyValueW(HKEY_CURRENT_USER, path.c_str(), kValueName, REG_SZ, text.chars,
                                         static_cast<DWORD>((text.length + 1) * sizeof(char16_t)));
  return status == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(status);
}

}  // namespace selvane
