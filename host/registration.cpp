#include "registration.h"

#include <windows.h>
#include <oleauto.h>
#include <olectl.h>
#include <wrl/client.h>

#include "heap_text.h"
#include "module_lifetime.h"
#include "selvane_h.h"
#include "type_library.h"
#include "unique_any.h"

namespace selvane {
namespace {

constexpr wchar_t kProgId[] = L"Selvane.clsOutputDriver";
constexpr wchar_t kUserClasses[] = L"Software\\Classes";
// Keys below the per-user classes root that registration may be the first to create.
constexpr const wchar_t* kUserParents[] = {L"CLSID", L"TypeLib", L"Interface"};

struct GuidText {
  explicit GuidText(REFGUID guid) noexcept { StringFromGUID2(guid, text, 40); }
  wchar_t text[40] = {};
};

// One registry value that registration writes: below "<keyStart><keyEnd>".
struct Entry {
  const wchar_t* keyStart;
  const wchar_t* keyEnd;
  const wchar_t* name;  // nullptr: the key's default value
  const wchar_t* value;
};

HRESULT WriteEntries(HKEY root, const Entry* entries, std::size_t count) noexcept {
  for (std::size_t i = 0; i < count; ++i) {
    const Entry& e = entries[i];
    HeapText key, value;
    if (!key.Append(e.keyStart) || !key.Append(e.keyEnd) || !value.Append(e.value)) return E_OUTOFMEMORY;
    const LSTATUS status = RegSetKeyValueW(root, key.c_str(), e.name, REG_SZ, value.c_str(),
                                           static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    if (status != ERROR_SUCCESS) return HRESULT_FROM_WIN32(status);
  }
  return S_OK;
}

// The class, its server and its ProgID, below `root`.
HRESULT WriteClassKeys(HKEY root, const wchar_t* modulePath) noexcept {
  const GuidText clsid(CLSID_clsOutputDriver), libid(LIBID_Selvane);
  HeapText clsidKey;
  if (!clsidKey.Append(L"CLSID\\") || !clsidKey.Append(clsid.text)) return E_OUTOFMEMORY;
  const wchar_t* c = clsidKey.c_str();
  const Entry entries[] = {
      {c, L"", nullptr, kProgId},
      {c, L"\\InprocServer32", nullptr, modulePath},
      {c, L"\\InprocServer32", L"ThreadingModel", L"Apartment"},
      {c, L"\\ProgID", nullptr, kProgId},
      {c, L"\\TypeLib", nullptr, libid.text},
      {kProgId, L"", nullptr, kProgId},
      {kProgId, L"\\CLSID", nullptr, clsid.text},
  };
  return WriteEntries(root, entries, std::size(entries));
}

void DeleteClassKeys(HKEY root) noexcept {
  const GuidText clsid(CLSID_clsOutputDriver);
  HeapText clsidKey;
  if (clsidKey.Append(L"CLSID\\") && clsidKey.Append(clsid.text)) RegDeleteTreeW(root, clsidKey.c_str());
  RegDeleteTreeW(root, kProgId);
}

// The root below which the class keys go: HKCR, or the user's own classes.
HRESULT OpenRoot(RegistrationScope scope, unique_hkey& root, bool create) noexcept {
  if (scope == RegistrationScope::Machine) return S_OK;
  const LSTATUS status =
      create ? RegCreateKeyExW(HKEY_CURRENT_USER, kUserClasses, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                               nullptr, root.put(), nullptr)
             : RegOpenKeyExW(HKEY_CURRENT_USER, kUserClasses, 0, KEY_ALL_ACCESS, root.put());
  return HRESULT_FROM_WIN32(status);
}

HKEY RootHandle(const unique_hkey& root) noexcept { return root ? root.get() : HKEY_CLASSES_ROOT; }

// (Un)RegisterTypeLib write below HKEY_CLASSES_ROOT, and Wine's
// RegisterTypeLibForUser registers machine-wide; while this lives,
// HKEY_CLASSES_ROOT means the user's own classes, so that a per-user
// registration stays per user.
class ClassesRootOverride {
 public:
  explicit ClassesRootOverride(const unique_hkey& root) noexcept : active_(static_cast<bool>(root)) {
    if (active_) active_ = RegOverridePredefKey(HKEY_CLASSES_ROOT, root.get()) == ERROR_SUCCESS;
  }
  ~ClassesRootOverride() {
    if (active_) RegOverridePredefKey(HKEY_CLASSES_ROOT, nullptr);
  }
  bool Failed(const unique_hkey& root) const noexcept { return root && !active_; }

 private:
  bool active_;
};

HRESULT RegisterOwnTypeLibrary(const unique_hkey& root, const wchar_t* modulePath) noexcept {
  Microsoft::WRL::ComPtr<ITypeLib> library;
  if (HRESULT hr = LoadOwnTypeLibrary(&library); FAILED(hr)) return hr;
  ClassesRootOverride classesRoot(root);
  if (classesRoot.Failed(root)) return SELFREG_E_TYPELIB;
  return RegisterTypeLib(library.Get(), const_cast<OLECHAR*>(modulePath), nullptr);
}

// Removes a parent key left empty, so that the user's hive ends as it began.
void DeleteIfEmpty(HKEY root, const wchar_t* name) noexcept {
  unique_hkey key;
  if (RegOpenKeyExW(root, name, 0, KEY_READ, key.put()) != ERROR_SUCCESS) return;
  DWORD subKeys = 0, values = 0;
  if (RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, &values, nullptr, nullptr,
                       nullptr, nullptr) != ERROR_SUCCESS)
    return;
  if (subKeys == 0 && values == 0) {
    key.reset();
    RegDeleteKeyW(root, name);
  }
}

HRESULT Register(RegistrationScope scope) noexcept {
  HeapText modulePath;
  if (HRESULT hr = ModuleFileName(ThisModule(), modulePath); FAILED(hr)) return hr;
  unique_hkey root;
  if (HRESULT hr = OpenRoot(scope, root, true); FAILED(hr)) return hr;
  if (HRESULT hr = RegisterOwnTypeLibrary(root, modulePath.c_str()); FAILED(hr)) return hr;
  return WriteClassKeys(RootHandle(root), modulePath.c_str());
}

}  // namespace

HRESULT RegisterServer(RegistrationScope scope) noexcept {
  const HRESULT hr = Register(scope);
  // A registration cut short leaves nothing behind.
  if (FAILED(hr)) UnregisterServer(scope);
  return hr;
}

HRESULT UnregisterServer(RegistrationScope scope) noexcept {
  unique_hkey root;
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
    for (const wchar_t* parent : kUserParents) DeleteIfEmpty(root.get(), parent);
    root.reset();
    // A fresh profile has no classes key of its own until registration made one.
    DeleteIfEmpty(HKEY_CURRENT_USER, kUserClasses);
  }
  return S_OK;
}

}  // namespace selvane
