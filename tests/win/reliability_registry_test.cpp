// The settings store under faults: a key the user may not write, a value of
// the wrong type, and titles that no key or an unexpected key would carry.
// The host must always hear of a failure, and the setting is never lost.
#include <windows.h>
#include <aclapi.h>
#include <oleauto.h>
#include <wrl/client.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "automation_hresult.h"
#include "message_pump.h"
#include "plugin_module.h"
#include "stored_setting.h"
#include "vendor_double_client.h"

using Microsoft::WRL::ComPtr;

namespace {

constexpr wchar_t kFile[] = L"Selvane.out.dll";

HRESULT InitWith(const ComPtr<_clsOutputDriver>& d, const std::wstring& title, const std::wstring& file = kFile) {
  BSTR t = SysAllocStringLen(title.data(), static_cast<UINT>(title.size()));
  BSTR f = SysAllocStringLen(file.data(), static_cast<UINT>(file.size()));
  VARIANT_BOOL r = VARIANT_TRUE;
  const HRESULT hr = d->Init(&t, &f, &r);
  EXPECT_EQ(r, VARIANT_FALSE);
  SysFreeString(t);
  SysFreeString(f);
  return hr;
}

HRESULT Term(const ComPtr<_clsOutputDriver>& d) {
  VARIANT_BOOL r = VARIANT_TRUE;
  const HRESULT hr = d->Term(&r);
  EXPECT_EQ(r, VARIANT_FALSE);
  return hr;
}

// Which interface the thread's ChannelCount selects, seen from outside: the
// vendor double that receives the next frame.
std::wstring SelectedInterface(const ComPtr<_clsOutputDriver>& d) {
  static VendorDoubleClient dmx60(L"DMX60.dll"), dmx120(L"DMX120.dll"), dmx510(L"DMX510.dll");
  if (!dmx60.Loaded() || !dmx120.Loaded() || !dmx510.Loaded()) return L"<doubles missing>";
  dmx60.Reset();
  dmx120.Reset();
  dmx510.Reset();
  VARIANT_BOOL r;
  d->Enable(&r);
  PumpUntil([&] { return dmx60.FrameCount() + dmx120.FrameCount() + dmx510.FrameCount() > 0; }, 2000);
  d->Disable(&r);
  if (dmx120.FrameCount()) return L"DMX-120";
  if (dmx510.FrameCount()) return L"DMX-510USB";
  if (dmx60.FrameCount()) return L"DMX-60";
  return L"<no frame>";
}

std::wstring ErrorDescription() {
  ComPtr<IErrorInfo> info;
  if (GetErrorInfo(0, &info) != S_OK) return L"<none>";
  BSTR text = nullptr;
  info->GetDescription(&text);
  std::wstring description = text ? text : L"";
  SysFreeString(text);
  return description;
}

// Gives the current user only read, WRITE_DAC and DELETE on a key: its values
// can be read but not written.
class ReadOnlyKey {
 public:
  explicit ReadOnlyKey(const std::wstring& path) {
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, READ_CONTROL | WRITE_DAC, &key_) != ERROR_SUCCESS)
      return;
    DWORD size = 0;
    RegGetKeySecurity(key_, DACL_SECURITY_INFORMATION, nullptr, &size);
    original_.resize(size);
    if (RegGetKeySecurity(key_, DACL_SECURITY_INFORMATION, original_.data(), &size) != ERROR_SUCCESS) return;

    HANDLE token = nullptr;
    OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token);
    std::vector<BYTE> user(256);
    DWORD userSize = static_cast<DWORD>(user.size());
    GetTokenInformation(token, TokenUser, user.data(), userSize, &userSize);
    CloseHandle(token);
    PSID sid = reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid;

    EXPLICIT_ACCESSW access{};
    access.grfAccessPermissions = KEY_READ | WRITE_DAC | DELETE;
    access.grfAccessMode = SET_ACCESS;
    access.grfInheritance = NO_INHERITANCE;
    access.Trustee.TrusteeForm = TRUSTEE_IS_SID;
    access.Trustee.TrusteeType = TRUSTEE_IS_USER;
    access.Trustee.ptstrName = static_cast<LPWSTR>(sid);
    PACL acl = nullptr;
    if (SetEntriesInAclW(1, &access, nullptr, &acl) != ERROR_SUCCESS) return;
    SECURITY_DESCRIPTOR sd;
    InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION);
    SetSecurityDescriptorDacl(&sd, TRUE, acl, FALSE);
    // Protected: nothing inherited from the parent grants write access back.
    SetSecurityDescriptorControl(&sd, SE_DACL_PROTECTED, SE_DACL_PROTECTED);
    applied_ = RegSetKeySecurity(key_, DACL_SECURITY_INFORMATION, &sd) == ERROR_SUCCESS;
    LocalFree(acl);
  }
  ~ReadOnlyKey() { Restore(); }
  bool Applied() const { return applied_; }
  void Restore() {
    if (applied_) RegSetKeySecurity(key_, DACL_SECURITY_INFORMATION, original_.data());
    applied_ = false;
    if (key_) RegCloseKey(key_);
    key_ = nullptr;
  }

 private:
  HKEY key_ = nullptr;
  std::vector<BYTE> original_;
  bool applied_ = false;
};

struct RegistryFaultTest : testing::Test {
  void SetUp() override {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    base = UniqueTitle(L"Selvane Registry");
    driver = NewDriver();
    ASSERT_TRUE(driver);
  }
  void TearDown() override {
    driver.Reset();
    for (const auto& t : cleanup) DeleteApplicationSettings(t);
    DeleteApplicationSettings(base);
    CoUninitialize();
  }
  // A title with a stored value, to set the thread's ChannelCount through Init.
  std::wstring TitleStoring(const wchar_t* value) {
    const std::wstring title = base + L" " + value;
    StoreSetting(title, kFile, value);
    cleanup.push_back(title);
    return title;
  }

  std::wstring base;
  std::vector<std::wstring> cleanup;
  ComPtr<_clsOutputDriver> driver;
};

}  // namespace

TEST_F(RegistryFaultTest, ReadOnlyKeyMakesTermFailAndTheValueStaysInMemory) {
  const std::wstring title = TitleStoring(L"120");
  ASSERT_HRESULT_SUCCEEDED(InitWith(driver, title));
  // The dialog's choice, made in memory only: DMX-60.
  const std::wstring title64 = TitleStoring(L"64");
  ComPtr<_clsOutputDriver> other = NewDriver();
  ASSERT_HRESULT_SUCCEEDED(InitWith(other, title64));
  StoreSetting(title, kFile, L"120");

  ReadOnlyKey readOnly(SettingKeyPath(title, kFile));
  ASSERT_TRUE(readOnly.Applied());
  {
    HKEY probe = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, SettingKeyPath(title, kFile).c_str(), 0, KEY_SET_VALUE, &probe),
              ERROR_ACCESS_DENIED)
        << "the key must refuse writing for this test to mean anything";
  }

  const HRESULT hr = Term(driver);
  EXPECT_EQ(hr, E_ACCESSDENIED) << "the host hears that the setting was not saved";
  EXPECT_EQ(ErrorDescription(), L"Die Einstellung konnte nicht in der Registrierung gespeichert werden");
  EXPECT_EQ(ReadSetting(title, kFile), L"120") << "the stored value is untouched";
  EXPECT_EQ(SelectedInterface(driver), L"DMX-60") << "ChannelCount is kept in memory";

  // Once the key is writable again, the next Term saves the kept value.
  readOnly.Restore();
  EXPECT_EQ(Term(driver), S_OK);
  EXPECT_EQ(ReadSetting(title, kFile), L"64");
}

TEST_F(RegistryFaultTest, StoredValueOfAnotherTypeFailsInitWithTypeMismatchAndChangesNothing) {
  const std::wstring title = base + L" typed";
  cleanup.push_back(title);
  const DWORD dword = 120;
  const ULONGLONG qword = 120;
  const wchar_t multi[] = L"120\0";
  const char binary[] = "120";
  const struct {
    const char* name;
    DWORD type;
    const void* data;
    DWORD size;
  } values[] = {
      {"REG_DWORD", REG_DWORD, &dword, sizeof dword},
      {"REG_QWORD", REG_QWORD, &qword, sizeof qword},
      {"REG_BINARY", REG_BINARY, binary, 3},
      {"REG_MULTI_SZ", REG_MULTI_SZ, multi, sizeof multi},
      {"REG_NONE", REG_NONE, nullptr, 0},
  };
  const std::wstring title64 = TitleStoring(L"64");
  for (const auto& v : values) {
    SCOPED_TRACE(v.name);
    ASSERT_HRESULT_SUCCEEDED(InitWith(driver, title64));
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, SettingKeyPath(title, kFile).c_str(), 0, nullptr, 0,
                              KEY_SET_VALUE | KEY_QUERY_VALUE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegSetValueExW(key, L"ChannelCount", 0, v.type, static_cast<const BYTE*>(v.data), v.size);

    EXPECT_EQ(InitWith(driver, title), selvane::AutomationHresult(selvane::AutomationError::TypeMismatch));
    EXPECT_EQ(ErrorDescription(), L"Typen unvertr\u00e4glich");
    DWORD type = 0, size = 0;
    EXPECT_EQ(RegQueryValueExW(key, L"ChannelCount", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, v.type) << "Init writes nothing";
    EXPECT_EQ(size, v.size);
    RegCloseKey(key);
    EXPECT_EQ(SelectedInterface(driver), L"DMX-60") << "ChannelCount keeps its value";
  }
  // Term, under the names that the failed Init stored, saves the kept value as text.
  EXPECT_EQ(Term(driver), S_OK);
  EXPECT_EQ(ReadSetting(title, kFile), L"64");
}

// Titles and file names that are too long for a key or that hold backslashes.
// Each round trip either works (Term saves, and Init with the same names
// loads it back) or both fail with an error that the host sees, the same
// error every time and without leaving partial keys behind; never a crash,
// and never a Term that reports success for a value the next Init cannot find.
TEST_F(RegistryFaultTest, LongTitlesAndBackslashesRoundTripOrFailVisibly) {
  // Every part fits a key name, but the whole path is longer than the registry takes.
  std::wstring deepTitle = base + L" deep";
  while (deepTitle.size() < 33000) deepTitle += L"\\" + std::wstring(199, L'p');
  const struct {
    const char* name;
    std::wstring title;
    std::wstring file;
    bool roundTrip;  // otherwise: Init and Term fail with E_INVALIDARG
  } cases[] = {
      {"title of 300 characters", base + std::wstring(300 - base.size(), L'x'), kFile, false},
      {"title of 255 characters", base + std::wstring(255 - base.size(), L'y'), kFile, true},
      {"nested title", base + L"\\Host\\Sub", kFile, true},
      // The registry skips empty key names, so these share the key of the title without them.
      {"double backslash", base + L"\\\\Double", kFile, true},
      {"trailing backslash", base + L" trailing\\", kFile, true},
      {"leading backslash", L"\\" + base + L" leading", kFile, true},
      {"only a backslash", L"\\", kFile, true},
      {"file name with a folder", base + L" files", L"Plugins\\Selvane.out.dll", true},
      {"file name of 300 characters", base + L" long file", std::wstring(300, L'f'), false},
      {"nested part of 256 characters", base + L"\\" + std::wstring(256, L'z'), kFile, false},
      {"title of 33,000 characters in parts of 200", deepTitle, kFile, false},
  };
  const std::wstring title120 = TitleStoring(L"120");
  const std::wstring title64 = TitleStoring(L"64");
  ComPtr<_clsOutputDriver> other = NewDriver();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    // Only whole titles of this test are deleted afterwards, never a parent key.
    if (c.title.rfind(base, 0) == 0) cleanup.push_back(c.title);
    ComPtr<_clsOutputDriver> subject = NewDriver();
    const HRESULT init = InitWith(subject, c.title, c.file);
    ASSERT_HRESULT_SUCCEEDED(InitWith(other, title120));
    const HRESULT term = Term(subject);
    std::printf("%-30s Init 0x%08lX, Term 0x%08lX\n", c.name, static_cast<unsigned long>(init),
                static_cast<unsigned long>(term));
    if (c.roundTrip) {
      EXPECT_EQ(init, S_OK);
      ASSERT_EQ(term, S_OK);
      ASSERT_HRESULT_SUCCEEDED(InitWith(other, title64));
      EXPECT_EQ(InitWith(subject, c.title, c.file), S_OK);
      EXPECT_EQ(SelectedInterface(subject), L"DMX-120") << "the saved value comes back";
    } else {
      EXPECT_EQ(init, E_INVALIDARG);
      EXPECT_EQ(term, E_INVALIDARG) << "a setting that cannot be stored is reported, not dropped";
      EXPECT_EQ(SelectedInterface(subject), L"DMX-120") << "and stays in memory";
      EXPECT_EQ(InitWith(subject, c.title, c.file), E_INVALIDARG) << "the same answer again";
      // Term created none of the keys above the name that does not fit.
      HKEY partial = nullptr;
      EXPECT_NE(RegOpenKeyExW(HKEY_CURRENT_USER,
                              (L"Software\\VB and VBA Program Settings\\" + c.title + L"\\Plugins").c_str(), 0,
                              KEY_READ, &partial),
                ERROR_SUCCESS)
          << "no partial keys";
      if (partial) RegCloseKey(partial);
      if (c.title != deepTitle) continue;
      const std::wstring firstPart = c.title.substr(0, c.title.find(L'\\'));
      EXPECT_NE(RegOpenKeyExW(HKEY_CURRENT_USER, (L"Software\\VB and VBA Program Settings\\" + firstPart).c_str(), 0,
                              KEY_READ, &partial),
                ERROR_SUCCESS)
          << "not even the title's first key";
      if (partial) RegCloseKey(partial);
    }
  }
  DeleteApplicationSettings(base + L" leading");
  // Where the title "\\" went: the key for the file right below a "Plugins" key.
  RegDeleteKeyW(HKEY_CURRENT_USER, SettingKeyPath(L"\\", kFile).c_str());
  RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\VB and VBA Program Settings\\Plugins");
}
