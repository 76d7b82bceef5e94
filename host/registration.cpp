#include "registration.h"

#include <windows.h>
#include <oleauto.h>
#include <olectl.h>
#include <wrl/client.h>

#include <string>

#include "module_lifetime.h"
#include "unique_hkey.h"
#include "selvane_h.h"
#include "type_library.h"

namespace selvane {
namespace {

constexpr wchar_t kProgId[] = L"Selvane.clsOutputDriver";
constexpr wchar_t kUserClasses[] = L"Software\\Classes";
// Keys below the per-user classes root that registration may be the first to create.
constexpr const wchar_t* kUserParents[] = {L"CLSID", L"TypeLib", L"Interface"};

std::wstring GuidText(REFGUID guid) {
  wchar_t text[40] = {};
  StringFromGUID2(guid, text, 40);
  return text;
}

LSTATUS SetString(HKEY root, const std::wstring& subKey, const wchar_t* name, const std::wstring& value) {
  UniqueHkey key;
  LSTATUS status = RegCreateKeyExW(root, subKey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                   KEY_SET_VALUE, nullptr, key.Out(), nullptr);
  if (status != ERROR_SUCCESS) return status;
  return RegSetValueExW(key.Get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                        static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

// The root below which the class keys go: HKCR, or the user's own classes.
HRESULT OpenRoot(RegistrationScope scope, UniqueHkey& root, bool create) {
  if (scope == RegistrationScope::Machine) {
    *root.Out() = nullptr;
    return S_OK;
  }
  const LSTATUS status =
      create ? RegCreateKeyExW(HKEY_CURRENT_USER, kUserClasses, 0, nullptr, REG_OPTION_NON_VOLATILE,
                               KEY_ALL_ACCESS, nullptr, root.Out(), nullptr)
             : RegOpenKeyExW(HKEY_CURRENT_USER, kUserClasses, 0, KEY_ALL_ACCESS, root.Out());
  return HRESULT_FROM_WIN32(status);
}

HKEY RootHandle(const UniqueHkey& root) { return root ? root.Get() : HKEY_CLASSES_ROOT; }

// While alive, HKEY_CLASSES_ROOT means the user's classes, so that the type
// library registration (which writes below HKCR) stays per user.
class ClassesRootOverride {
 public:
  explicit ClassesRootOverride(const UniqueHkey& root) : active_(static_cast<bool>(root)) {
    if (active_) active_ = RegOverridePredefKey(HKEY_CLASSES_ROOT, root.Get()) == ERROR_SUCCESS;
  }
  ~ClassesRootOverride() {
    if (active_) RegOverridePredefKey(HKEY_CLASSES_ROOT, nullptr);
  }
  bool Failed(const UniqueHkey& root) const { return root && !active_; }

 private:
  bool active_;
};

HRESULT WriteClassKeys(HKEY root, const std::wstring& modulePath) {
  const std::wstring clsidKey = L"CLSID\\" + GuidText(CLSID_clsOutputDriver);
  const LSTATUS statuses[] = {
      SetString(root, clsidKey, nullptr, kProgId),
      SetString(root, clsidKey + L"\\InprocServer32", nullptr, modulePath),
      SetString(root, clsidKey + L"\\InprocServer32", L"ThreadingModel", L"Apartment"),
      SetString(root, clsidKey + L"\\ProgID", nullptr, kProgId),
      SetString(root, clsidKey + L"\\TypeLib", nullptr, GuidText(LIBID_Selvane)),
      SetString(root, kProgId, nullptr, kProgId),
      SetString(root, std::wstring(kProgId) + L"\\CLSID", nullptr, GuidText(CLSID_clsOutputDriver)),
  };
  for (LSTATUS s : statuses)
    if (s != ERROR_SUCCESS) return SELFREG_E_CLASS;
  return S_OK;
}

void DeleteClassKeys(HKEY root) {
  const std::wstring clsidKey = L"CLSID\\" + GuidText(CLSID_clsOutputDriver);
  RegDeleteTreeW(root, clsidKey.c_str());
  RegDeleteTreeW(root, kProgId);
}

// Removes a parent key left empty, so that the user's hive ends as it began.
void DeleteIfEmpty(HKEY root, const wchar_t* name) {
  UniqueHkey key;
  if (RegOpenKeyExW(root, name, 0, KEY_READ, key.Out()) != ERROR_SUCCESS) return;
  DWORD subKeys = 0, values = 0;
  if (RegQueryInfoKeyW(key.Get(), nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, &values,
                       nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
    return;
  if (subKeys == 0 && values == 0) {
    key = UniqueHkey();
    RegDeleteKeyW(root, name);
  }
}

}  // namespace

HRESULT RegisterServer(RegistrationScope scope) noexcept {
  try {
    const std::wstring modulePath = ThisModulePath();
    if (modulePath.empty()) return SELFREG_E_CLASS;
    UniqueHkey root;
    if (HRESULT hr = OpenRoot(scope, root, true); FAILED(hr)) return hr;

    Microsoft::WRL::ComPtr<ITypeLib> library;
    HRESULT hr = LoadOwnTypeLibrary(&library);
    if (SUCCEEDED(hr)) {
      ClassesRootOverride classesRoot(root);
      hr = classesRoot.Failed(root) ? SELFREG_E_TYPELIB
                                    : RegisterTypeLib(library.Get(), const_cast<OLECHAR*>(modulePath.c_str()), nullptr);
      if (FAILED(hr)) hr = SELFREG_E_TYPELIB;
    }
    if (SUCCEEDED(hr)) hr = WriteClassKeys(RootHandle(root), modulePath);
    if (FAILED(hr)) UnregisterServer(scope);
    return hr;
  } catch (...) {
    return E_OUTOFMEMORY;
  }
}

HRESULT UnregisterServer(RegistrationScope scope) noexcept {
  try {
    UniqueHkey root;
    if (HRESULT hr = OpenRoot(scope, root, false); FAILED(hr)) {
      // No per-user classes at all: nothing of ours can be there.
      return scope == RegistrationScope::User ? S_OK : hr;
    }
    DeleteClassKeys(RootHandle(root));
    {
      ClassesRootOverride classesRoot(root);
      if (!classesRoot.Failed(root)) UnRegisterTypeLib(LIBID_Selvane, 1, 0, LOCALE_NEUTRAL, SYS_WIN32);
    }
    if (root) {
      for (const wchar_t* parent : kUserParents) DeleteIfEmpty(root.Get(), parent);
      root = UniqueHkey();
      // A fresh profile has no classes key of its own until registration made one.
      DeleteIfEmpty(HKEY_CURRENT_USER, kUserClasses);
    }
    return S_OK;
  } catch (...) {
    return E_OUTOFMEMORY;
  }
}

}  // namespace selvane
