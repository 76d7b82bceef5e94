#include "settings_store.h"

#include <memory>
#include <new>
#include <string>

#include "automation_hresult.h"
#include "settings_text.h"
#include "unique_hkey.h"

namespace selvane {
namespace {

constexpr int32_t kDefaultChannelCount = 510;
constexpr wchar_t kRoot[] = L"Software\\VB and VBA Program Settings\\";
constexpr wchar_t kSection[] = L"\\Plugins\\";
constexpr wchar_t kValueName[] = L"ChannelCount";

HRESULT AutomationFailure(AutomationError error) {
  return AutomationHresult(error);
}

// A name that no key can carry: the store is then not addressable at all.
bool Addressable(std::wstring_view name) {
  return !name.empty() && name.find(L'\0') == std::wstring_view::npos;
}

// Every part of a name between backslashes becomes one key name, which the
// registry limits to 255 characters. Checked first, so that loading gives the
// same answer whether or not the parent keys exist, and a save that cannot
// succeed creates no partial keys.
constexpr std::size_t kMaxKeyNameLength = 255;

bool FitsKeyNames(std::wstring_view name) {
  for (std::size_t start = 0;;) {
    const std::size_t end = name.find(L'\\', start);
    const std::size_t length = (end == std::wstring_view::npos ? name.size() : end) - start;
    if (length > kMaxKeyNameLength) return false;
    if (end == std::wstring_view::npos) return true;
    start = end + 1;
  }
}

HRESULT KeyNamesTooLong() { return HRESULT_FROM_WIN32(ERROR_INVALID_PARAMETER); }

// The key path below HKEY_CURRENT_USER. Empty if memory runs out.
std::wstring KeyPath(std::wstring_view appTitle, std::wstring_view fileName) noexcept {
  std::wstring path;
  try {
    path.reserve(std::size(kRoot) + appTitle.size() + std::size(kSection) + fileName.size());
    path.append(kRoot).append(appTitle).append(kSection).append(fileName);
  } catch (...) {
    path.clear();
  }
  return path;
}

// Stored text read as the registry hands it over: any byte count, with or
// without a terminating NUL. The text ends at the first NUL.
class StoredText {
 public:
  LONG Read(HKEY key) noexcept {
    // The value may change between the size query and the read; try again then.
    for (int attempt = 0; attempt < 4; ++attempt) {
      DWORD bytes = 0;
      LONG status = RegQueryValueExW(key, kValueName, nullptr, &type_, nullptr, &bytes);
      if (status != ERROR_SUCCESS) return status;
      const std::size_t chars = bytes / sizeof(char16_t) + 1;  // +1 keeps an odd byte
      text_.reset(new (std::nothrow) char16_t[chars]());
      if (!text_) return ERROR_NOT_ENOUGH_MEMORY;
      bytes = static_cast<DWORD>(chars * sizeof(char16_t));
      status = RegQueryValueExW(key, kValueName, nullptr, &type_, reinterpret_cast<BYTE*>(text_.get()),
                                &bytes);
      if (status == ERROR_MORE_DATA) continue;
      if (status != ERROR_SUCCESS) return status;
      length_ = bytes / sizeof(char16_t);  // an odd last byte is no character
      return ERROR_SUCCESS;
    }
    return ERROR_MORE_DATA;
  }

  bool IsString() const noexcept { return type_ == REG_SZ || type_ == REG_EXPAND_SZ; }

  std::u16string_view Text() const noexcept {
    const std::u16string_view all(text_.get(), length_);
    return all.substr(0, all.find(u'\0'));
  }

 private:
  std::unique_ptr<char16_t[]> text_;
  std::size_t length_ = 0;
  DWORD type_ = REG_NONE;
};

bool NothingStored(LONG status) {
  return status == ERROR_FILE_NOT_FOUND || status == ERROR_PATH_NOT_FOUND;
}

}  // namespace

HRESULT LoadChannelCount(std::wstring_view appTitle, std::wstring_view fileName,
                         int32_t& channelCount) noexcept {
  // Term before Init, or a host that passes no names: nothing can be stored there.
  if (!Addressable(appTitle) || !Addressable(fileName)) {
    channelCount = kDefaultChannelCount;
    return S_OK;
  }
  if (!FitsKeyNames(appTitle) || !FitsKeyNames(fileName)) return KeyNamesTooLong();
  const std::wstring path = KeyPath(appTitle, fileName);
  if (path.empty()) return E_OUTOFMEMORY;

  UniqueHkey key;
  LONG status = RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_QUERY_VALUE, key.Out());
  if (NothingStored(status)) {
    channelCount = kDefaultChannelCount;
    return S_OK;
  }
  if (status != ERROR_SUCCESS) return HRESULT_FROM_WIN32(status);

  StoredText stored;
  status = stored.Read(key.Get());
  if (NothingStored(status)) {
    channelCount = kDefaultChannelCount;
    return S_OK;
  }
  if (status != ERROR_SUCCESS) return HRESULT_FROM_WIN32(status);
  // A number stored as REG_DWORD or binary is not text, so not a number either.
  if (!stored.IsString()) return AutomationFailure(AutomationError::TypeMismatch);

  const LongFromText parsed = ParseLongText(stored.Text());
  if (parsed.error != AutomationError::None) return AutomationFailure(parsed.error);
  channelCount = parsed.value;
  return S_OK;
}

HRESULT SaveChannelCount(std::wstring_view appTitle, std::wstring_view fileName,
                         int32_t channelCount) noexcept {
  // Dropping the setting silently would report a failure as success.
  if (!Addressable(appTitle) || !Addressable(fileName))
    return AutomationFailure(AutomationError::InvalidProcedureCall);
  if (!FitsKeyNames(appTitle) || !FitsKeyNames(fileName)) return KeyNamesTooLong();
  const std::wstring path = KeyPath(appTitle, fileName);
  if (path.empty()) return E_OUTOFMEMORY;

  std::u16string text;
  try {
    text = FormatLongText(channelCount);
  } catch (...) {
    return E_OUTOFMEMORY;
  }

  UniqueHkey key;
  LONG status = RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                KEY_SET_VALUE, nullptr, key.Out(), nullptr);
  if (status != ERROR_SUCCESS) return HRESULT_FROM_WIN32(status);
  status = RegSetValueExW(key.Get(), kValueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                          static_cast<DWORD>((text.size() + 1) * sizeof(char16_t)));
  return status == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(status);
}

}  // namespace selvane
