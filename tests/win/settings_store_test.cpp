// The settings record against the real (Wine) registry of the test prefix.
#include "settings_store.h"

#include <gtest/gtest.h>
#include <sddl.h>
#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "automation_hresult.h"

namespace {

using selvane::AutomationError;
using selvane::AutomationHresult;
using selvane::LoadChannelCount;
using selvane::SaveChannelCount;

const std::wstring kRoot = L"Software\\VB and VBA Program Settings\\";
const std::wstring kFile = L"Selvane.out.dll";

bool KeyExists(const std::wstring& path) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

struct RawValue {
  DWORD type = REG_NONE;
  std::vector<BYTE> bytes;
};

std::optional<RawValue> ReadRaw(const std::wstring& path) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
    return std::nullopt;
  RawValue value;
  DWORD size = 0;
  LONG status = RegQueryValueExW(key, L"ChannelCount", nullptr, &value.type, nullptr, &size);
  if (status == ERROR_SUCCESS) {
    value.bytes.resize(size);
    status = RegQueryValueExW(key, L"ChannelCount", nullptr, &value.type, value.bytes.data(), &size);
    value.bytes.resize(size);
  }
  RegCloseKey(key);
  if (status != ERROR_SUCCESS) return std::nullopt;
  return value;
}

std::vector<BYTE> TextBytes(const std::wstring& text, bool terminated = true) {
  const auto* begin = reinterpret_cast<const BYTE*>(text.data());
  return std::vector<BYTE>(begin, begin + (text.size() + (terminated ? 1 : 0)) * sizeof(wchar_t));
}

// One application title of its own per test, removed again afterwards.
class SettingsStoreTest : public ::testing::Test {
 protected:
  SettingsStoreTest() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    const std::string name = info->name();
    title_ = L"Selvane settings " + std::wstring(name.begin(), name.end()) + L" " +
             std::to_wstring(GetCurrentProcessId());
    RegDeleteTreeW(HKEY_CURRENT_USER, (kRoot + title_).c_str());
  }
  ~SettingsStoreTest() override { RegDeleteTreeW(HKEY_CURRENT_USER, (kRoot + title_).c_str()); }

  std::wstring KeyPath(const std::wstring& file = kFile) const { return kRoot + title_ + L"\\Plugins\\" + file; }

  void Store(DWORD type, const std::vector<BYTE>& bytes) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, KeyPath().c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                              nullptr),
              ERROR_SUCCESS);
    const LONG status = RegSetValueExW(key, L"ChannelCount", 0, type, bytes.data(), static_cast<DWORD>(bytes.size()));
    RegCloseKey(key);
    ASSERT_EQ(status, ERROR_SUCCESS);
  }

  // Replaces the security of the plug-in's key, given in SDDL.
  void RestrictKey(const wchar_t* sddl) {
    PSECURITY_DESCRIPTOR sd = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &sd, nullptr));
    HKEY key = nullptr;
    LONG status = RegOpenKeyExW(HKEY_CURRENT_USER, KeyPath().c_str(), 0, WRITE_DAC, &key);
    if (status == ERROR_SUCCESS) {
      status = RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, sd);
      RegCloseKey(key);
    }
    LocalFree(sd);
    ASSERT_EQ(status, ERROR_SUCCESS);
  }

  std::wstring title_;
};

TEST_F(SettingsStoreTest, FirstRunLoadsDefaultWithoutWriting) {
  int32_t channelCount = 7;
  EXPECT_EQ(LoadChannelCount(title_, kFile, channelCount), S_OK);
  EXPECT_EQ(channelCount, 510);
  EXPECT_FALSE(KeyExists(kRoot + title_));
}

TEST_F(SettingsStoreTest, KeyWithoutValueLoadsDefault) {
  Store(REG_SZ, TextBytes(L"120"));
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, KeyPath().c_str(), 0, KEY_SET_VALUE, &key), ERROR_SUCCESS);
  RegDeleteValueW(key, L"ChannelCount");
  RegCloseKey(key);
  int32_t channelCount = 7;
  EXPECT_EQ(LoadChannelCount(title_, kFile, channelCount), S_OK);
  EXPECT_EQ(channelCount, 510);
}

TEST_F(SettingsStoreTest, SaveThenLoadGivesSavedValue) {
  ASSERT_EQ(SaveChannelCount(title_, kFile, 64), S_OK);
  int32_t channelCount = 510;
  EXPECT_EQ(LoadChannelCount(title_, kFile, channelCount), S_OK);
  EXPECT_EQ(channelCount, 64);
}

TEST_F(SettingsStoreTest, SaveWritesDecimalTextAsRegSzAndReplacesIt) {
  for (const auto& [value, text] : {std::pair<int32_t, std::wstring>{64, L"64"},
                                    {120, L"120"},
                                    {-5, L"-5"},
                                    {INT32_MIN, L"-2147483648"},
                                    {INT32_MAX, L"2147483647"}}) {
    ASSERT_EQ(SaveChannelCount(title_, kFile, value), S_OK) << value;
    const auto stored = ReadRaw(KeyPath());
    ASSERT_TRUE(stored.has_value()) << value;
    EXPECT_EQ(stored->type, static_cast<DWORD>(REG_SZ)) << value;
    EXPECT_EQ(stored->bytes, TextBytes(text)) << value;
    int32_t loaded = 0;
    EXPECT_EQ(LoadChannelCount(title_, kFile, loaded), S_OK);
    EXPECT_EQ(loaded, value);
  }
}

TEST_F(SettingsStoreTest, TwoApplicationTitlesKeepIndependentValues) {
  const std::wstring other = title_ + L" other";
  ASSERT_EQ(SaveChannelCount(title_, kFile, 120), S_OK);
  ASSERT_EQ(SaveChannelCount(other, kFile, 64), S_OK);
  int32_t first = 0, second = 0;
  EXPECT_EQ(LoadChannelCount(title_, kFile, first), S_OK);
  EXPECT_EQ(LoadChannelCount(other, kFile, second), S_OK);
  RegDeleteTreeW(HKEY_CURRENT_USER, (kRoot + other).c_str());
  EXPECT_EQ(first, 120);
  EXPECT_EQ(second, 64);
}

TEST_F(SettingsStoreTest, TwoFileNamesOfOneHostKeepIndependentValues) {
  ASSERT_EQ(SaveChannelCount(title_, L"A.dll", 120), S_OK);
  ASSERT_EQ(SaveChannelCount(title_, L"a.DLL.x", 64), S_OK);
  int32_t first = 0, second = 0;
  EXPECT_EQ(LoadChannelCount(title_, L"A.dll", first), S_OK);
  EXPECT_EQ(LoadChannelCount(title_, L"a.DLL.x", second), S_OK);
  EXPECT_EQ(first, 120);
  EXPECT_EQ(second, 64);
}

TEST_F(SettingsStoreTest, BackslashesInTheNamesNest) {
  ASSERT_EQ(SaveChannelCount(title_ + L"\\Sub", L"plugins\\Selvane.out.dll", 120), S_OK);
  EXPECT_TRUE(ReadRaw(kRoot + title_ + L"\\Sub\\Plugins\\plugins\\Selvane.out.dll").has_value());
  int32_t channelCount = 0;
  EXPECT_EQ(LoadChannelCount(title_ + L"\\Sub", L"plugins\\Selvane.out.dll", channelCount), S_OK);
  EXPECT_EQ(channelCount, 120);
}

TEST_F(SettingsStoreTest, StoredTextConvertsOrFailsWithValueUnchanged) {
  struct Case {
    std::wstring text;
    DWORD type;
    HRESULT hr;
    int32_t loaded;  // what ChannelCount holds afterwards; it starts at 77
  };
  const Case cases[] = {
      {L"64", REG_SZ, S_OK, 64},
      {L" 120 ", REG_SZ, S_OK, 120},
      {L"-1", REG_SZ, S_OK, -1},
      {L"120", REG_EXPAND_SZ, S_OK, 120},
      {L"abc", REG_SZ, AutomationHresult(AutomationError::TypeMismatch), 77},
      {L"", REG_SZ, AutomationHresult(AutomationError::TypeMismatch), 77},
      {L"12.5", REG_SZ, AutomationHresult(AutomationError::TypeMismatch), 77},
      {L"%SELVANE%", REG_EXPAND_SZ, AutomationHresult(AutomationError::TypeMismatch), 77},
      {L"2147483648", REG_SZ, AutomationHresult(AutomationError::Overflow), 77},
      {L"-99999999999", REG_SZ, AutomationHresult(AutomationError::Overflow), 77},
  };
  for (const Case& c : cases) {
    Store(c.type, TextBytes(c.text));
    int32_t channelCount = 77;
    EXPECT_EQ(LoadChannelCount(title_, kFile, channelCount), c.hr) << "\"" << testing::PrintToString(c.text) << "\"";
    EXPECT_EQ(channelCount, c.loaded) << testing::PrintToString(c.text);
  }
}

TEST_F(SettingsStoreTest, ValuesThatAreNotStringsAreTypeMismatch) {
  const DWORD number = 120;
  const std::vector<BYTE> dword(reinterpret_cast<const BYTE*>(&number), reinterpret_cast<const BYTE*>(&number + 1));
  std::vector<BYTE> multi = TextBytes(L"120");
  multi.insert(multi.end(), {0, 0});
  for (const auto& [type, bytes] : {std::pair<DWORD, std::vector<BYTE>>{REG_DWORD, dword},
                                    {REG_BINARY, TextBytes(L"120")},
                                    {REG_MULTI_SZ, multi},
                                    {REG_NONE, {}}}) {
    Store(type, bytes);
    int32_t channelCount = 77;
    EXPECT_EQ(LoadChannelCount(title_, kFile, channelCount), AutomationHresult(AutomationError::TypeMismatch)) << type;
    EXPECT_EQ(channelCount, 77) << type;
  }
}

TEST_F(SettingsStoreTest, RawStoredTextIsReadSafely) {
  struct Case {
    const char* what;
    std::vector<BYTE> bytes;
    HRESULT hr;
    int32_t loaded;
  };
  std::vector<BYTE> odd = TextBytes(L"120", false);
  odd.push_back('7');
  std::vector<BYTE> innerNul = TextBytes(std::wstring(L"12\0" L"3", 4));
  const std::wstring longText = std::wstring(70000, L' ') + L"64";
  const Case cases[] = {
      {"without a terminating NUL", TextBytes(L"120", false), S_OK, 120},
      {"with an odd byte count", odd, S_OK, 120},
      {"with a NUL inside", innerNul, S_OK, 12},
      {"of one byte", {'6'}, AutomationHresult(AutomationError::TypeMismatch), 77},
      {"of no bytes", {}, AutomationHresult(AutomationError::TypeMismatch), 77},
      {"longer than any buffer on the stack", TextBytes(longText), S_OK, 64},
  };
  for (const Case& c : cases) {
    Store(REG_SZ, c.bytes);
    int32_t channelCount = 77;
    EXPECT_EQ(LoadChannelCount(title_, kFile, channelCount), c.hr) << c.what;
    EXPECT_EQ(channelCount, c.loaded) << c.what;
  }
}

TEST_F(SettingsStoreTest, EmptyNamesSaveNothingAndLoadTheDefault) {
  const std::wstring uniqueFile = title_ + L".dll";
  const HRESULT invalid = AutomationHresult(AutomationError::InvalidProcedureCall);
  EXPECT_EQ(SaveChannelCount(L"", uniqueFile, 64), invalid);
  EXPECT_EQ(SaveChannelCount(title_, L"", 64), invalid);
  EXPECT_EQ(SaveChannelCount(L"", L"", 64), invalid);
  EXPECT_FALSE(KeyExists(kRoot + L"Plugins\\" + uniqueFile));
  EXPECT_FALSE(KeyExists(kRoot + title_));

  for (const auto& [title, file] : {std::pair<std::wstring, std::wstring>{L"", uniqueFile},
                                    {title_, L""},
                                    {L"", L""}}) {
    int32_t channelCount = 120;
    EXPECT_EQ(LoadChannelCount(title, file, channelCount), S_OK);
    EXPECT_EQ(channelCount, 510);
  }
  EXPECT_FALSE(KeyExists(kRoot + L"Plugins\\" + uniqueFile));
  EXPECT_FALSE(KeyExists(kRoot + title_));
}

TEST_F(SettingsStoreTest, NamesWithANulInsideAreNotAddressable) {
  const std::wstring cut(title_ + std::wstring(1, L'\0') + L"tail");
  EXPECT_EQ(SaveChannelCount(cut, kFile, 64), AutomationHresult(AutomationError::InvalidProcedureCall));
  EXPECT_FALSE(KeyExists(kRoot + title_));
  int32_t channelCount = 120;
  EXPECT_EQ(LoadChannelCount(cut, kFile, channelCount), S_OK);
  EXPECT_EQ(channelCount, 510);
}

TEST_F(SettingsStoreTest, ReadOnlyKeyFailsTheSaveAndKeepsTheValue) {
  Store(REG_SZ, TextBytes(L"120"));
  // Read and change the permissions only: no value may be set.
  RestrictKey(L"D:P(A;;KRWD;;;WD)");
  const HRESULT hr = SaveChannelCount(title_, kFile, 64);
  RestrictKey(L"D:P(A;;KA;;;WD)");
  EXPECT_EQ(hr, HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED));
  int32_t channelCount = 0;
  EXPECT_EQ(LoadChannelCount(title_, kFile, channelCount), S_OK);
  EXPECT_EQ(channelCount, 120);
}

TEST_F(SettingsStoreTest, UnreadableKeyFailsTheLoadAndKeepsTheValue) {
  Store(REG_SZ, TextBytes(L"120"));
  RestrictKey(L"D:P(A;;WD;;;WD)");
  int32_t channelCount = 64;
  const HRESULT hr = LoadChannelCount(title_, kFile, channelCount);
  RestrictKey(L"D:P(A;;KA;;;WD)");
  EXPECT_EQ(hr, HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED));
  EXPECT_EQ(channelCount, 64);
}

TEST_F(SettingsStoreTest, KeyNameTooLongFailsTheSave) {
  const std::wstring tooLong(300, L'x');  // a key name holds at most 255 characters
  const HRESULT hr = SaveChannelCount(title_, tooLong, 64);
  EXPECT_TRUE(FAILED(hr));
  EXPECT_EQ(HRESULT_FACILITY(hr), FACILITY_WIN32);
  EXPECT_FALSE(KeyExists(KeyPath(tooLong)));
}

}  // namespace
