// What a host, an installer and Explorer read from the built Selvane.out.dll
// without running it: resources, version information and the type library.
#include <windows.h>
#include <oleauto.h>
#include <wrl/client.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "dispids.h"
#include "selvane_h.h"
#include "selvane_version.h"

#ifndef SELVANE_DLL_PATH
#error "SELVANE_DLL_PATH must name the built Selvane.out.dll"
#endif

using Microsoft::WRL::ComPtr;

namespace {

std::vector<uint8_t> Resource(const wchar_t* type, int id) {
  HMODULE module = LoadLibraryExW(SELVANE_DLL_PATH, nullptr, LOAD_LIBRARY_AS_DATAFILE);
  std::vector<uint8_t> bytes;
  if (!module) return bytes;
  if (HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id), type)) {
    const DWORD size = SizeofResource(module, found);
    if (HGLOBAL loaded = LoadResource(module, found)) {
      const auto* data = static_cast<const uint8_t*>(LockResource(loaded));
      bytes.assign(data, data + size);
    }
  }
  FreeLibrary(module);
  return bytes;
}

struct VersionInfo {
  std::vector<uint8_t> block;
  explicit VersionInfo() {
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(SELVANE_DLL_PATH, &ignored);
    block.resize(size);
    if (size == 0 || !GetFileVersionInfoW(SELVANE_DLL_PATH, 0, size, block.data())) block.clear();
  }
  bool Has(const std::wstring& path, std::wstring* value = nullptr) {
    void* data = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(block.data(), path.c_str(), &data, &length)) return false;
    if (value) *value = length ? std::wstring(static_cast<wchar_t*>(data)) : L"";
    return true;
  }
  std::wstring String(const wchar_t* name) {
    std::wstring value = L"<missing>";
    Has(std::wstring(L"\\StringFileInfo\\040704B0\\") + name, &value);
    return value;
  }
};

}  // namespace

TEST(DllResources, VersionResource) {
  VersionInfo info;
  ASSERT_FALSE(info.block.empty());
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueW(info.block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
  // The version from its one source, project(VERSION).
  constexpr DWORD kMajorMinor = MAKELONG(SELVANE_VERSION_MINOR, SELVANE_VERSION_MAJOR);
  EXPECT_EQ(fixed->dwFileVersionMS, kMajorMinor);
  EXPECT_EQ(fixed->dwFileVersionLS, 0u);
  EXPECT_EQ(fixed->dwProductVersionMS, kMajorMinor);
  EXPECT_EQ(fixed->dwProductVersionLS, 0u);
  EXPECT_EQ(fixed->dwFileOS, static_cast<DWORD>(VOS__WINDOWS32));
  EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_DLL));

  EXPECT_EQ(info.String(L"FileVersion"), L"" SELVANE_VERSION_TEXT);
  EXPECT_EQ(info.String(L"ProductVersion"), L"" SELVANE_VERSION_TEXT);
  EXPECT_EQ(info.String(L"InternalName"), L"Selvane.out");
  EXPECT_EQ(info.String(L"OriginalFilename"), L"Selvane.out.dll");
  EXPECT_EQ(info.String(L"OLESelfRegister"), L"") << "present and empty";
  EXPECT_NE(info.String(L"CompanyName"), L"<missing>");
  EXPECT_NE(info.String(L"ProductName"), L"<missing>");

  WORD* translation = nullptr;
  ASSERT_TRUE(VerQueryValueW(info.block.data(), L"\\VarFileInfo\\Translation",
                             reinterpret_cast<void**>(&translation), &length));
  ASSERT_EQ(length, 4u);
  EXPECT_EQ(translation[0], 0x0407);
  EXPECT_EQ(translation[1], 0x04B0);
}

TEST(DllResources, InterfaceIdentifierResource) {
  const auto bytes = Resource(L"_IID_CLSOUTPUTDRIVER", 1);
  ASSERT_EQ(bytes.size(), 20u);
  uint32_t length = 0;
  std::memcpy(&length, bytes.data(), 4);
  EXPECT_EQ(length, 16u);
  EXPECT_EQ(std::memcmp(bytes.data() + 4, &IID__clsOutputDriver, 16), 0);
}

TEST(DllResources, EmbeddedTypeLibraryDescribesTheInterface) {
  ASSERT_FALSE(Resource(L"TYPELIB", 1).empty());
  ComPtr<ITypeLib> library;
  ASSERT_HRESULT_SUCCEEDED(LoadTypeLibEx(SELVANE_DLL_PATH, REGKIND_NONE, &library));
  TLIBATTR* libAttr = nullptr;
  ASSERT_HRESULT_SUCCEEDED(library->GetLibAttr(&libAttr));
  EXPECT_EQ(libAttr->guid, LIBID_Selvane);
  EXPECT_EQ(libAttr->wMajorVerNum, 1);
  EXPECT_EQ(libAttr->wMinorVerNum, 0);
  library->ReleaseTLibAttr(libAttr);
  BSTR name = nullptr;
  ASSERT_HRESULT_SUCCEEDED(library->GetDocumentation(-1, &name, nullptr, nullptr, nullptr));
  EXPECT_STREQ(name, L"Selvane");
  SysFreeString(name);

  // The class: creatable, with the dual interface as its default.
  ComPtr<ITypeInfo> coclass;
  ASSERT_HRESULT_SUCCEEDED(library->GetTypeInfoOfGuid(CLSID_clsOutputDriver, &coclass));
  TYPEATTR* classAttr = nullptr;
  ASSERT_HRESULT_SUCCEEDED(coclass->GetTypeAttr(&classAttr));
  EXPECT_EQ(classAttr->typekind, TKIND_COCLASS);
  EXPECT_TRUE(classAttr->wTypeFlags & TYPEFLAG_FCANCREATE);
  EXPECT_EQ(classAttr->cImplTypes, 1);
  coclass->ReleaseTypeAttr(classAttr);

  // The dispatch half: dual, hidden, nonextensible.
  ComPtr<ITypeInfo> dispatch;
  ASSERT_HRESULT_SUCCEEDED(library->GetTypeInfoOfGuid(IID__clsOutputDriver, &dispatch));
  TYPEATTR* attr = nullptr;
  ASSERT_HRESULT_SUCCEEDED(dispatch->GetTypeAttr(&attr));
  const WORD wanted = TYPEFLAG_FDUAL | TYPEFLAG_FHIDDEN | TYPEFLAG_FNONEXTENSIBLE | TYPEFLAG_FDISPATCHABLE;
  EXPECT_EQ(attr->wTypeFlags & wanted, wanted);
  dispatch->ReleaseTypeAttr(attr);

  // The vtable half: every method in slot order, with its DISPID and parameter names.
  HREFTYPE ref = 0;
  ComPtr<ITypeInfo> vtable;
  ASSERT_HRESULT_SUCCEEDED(dispatch->GetRefTypeOfImplType(-1, &ref));
  ASSERT_HRESULT_SUCCEEDED(dispatch->GetRefTypeInfo(ref, &vtable));
  ASSERT_HRESULT_SUCCEEDED(vtable->GetTypeAttr(&attr));
  EXPECT_EQ(attr->typekind, TKIND_INTERFACE);
  EXPECT_TRUE(attr->wTypeFlags & TYPEFLAG_FOLEAUTOMATION);
  ASSERT_EQ(attr->cFuncs, 7);
  vtable->ReleaseTypeAttr(attr);

  using namespace selvane;
  const struct { const wchar_t* name; MEMBERID id; std::vector<std::wstring> params; } methods[] = {
      {L"Disable", kDispidDisable, {}},
      {L"Enable", kDispidEnable, {}},
      {L"PluginName", kDispidPluginName, {}},
      {L"SetChannel", kDispidSetChannel, {L"Channel", L"Value"}},
      {L"Configure", kDispidConfigure, {}},
      {L"Init", kDispidInit, {L"CallingAppTitle", L"MyFilename"}},
      {L"Term", kDispidTerm, {}}};
  for (UINT i = 0; i < 7; ++i) {
    FUNCDESC* func = nullptr;
    ASSERT_HRESULT_SUCCEEDED(vtable->GetFuncDesc(i, &func));
    EXPECT_EQ(func->memid, methods[i].id);
    EXPECT_EQ(func->invkind, INVOKE_FUNC);
    EXPECT_EQ(func->callconv, CC_STDCALL);
    EXPECT_EQ(func->oVft, static_cast<SHORT>((7 + i) * sizeof(void*))) << "slot after IUnknown and IDispatch";
    BSTR names[4] = {};
    UINT count = 0;
    ASSERT_HRESULT_SUCCEEDED(vtable->GetNames(func->memid, names, 4, &count));
    EXPECT_STREQ(names[0], methods[i].name);
    const size_t params = methods[i].params.size();
    ASSERT_EQ(func->cParams, static_cast<SHORT>(params + 1)) << "every method has an out-retval";
    for (size_t p = 0; p < params; ++p) {
      EXPECT_EQ(std::wstring(names[p + 1] ? names[p + 1] : L""), methods[i].params[p]);
      const auto& desc = func->lprgelemdescParam[p];
      EXPECT_EQ(desc.paramdesc.wParamFlags & (PARAMFLAG_FIN | PARAMFLAG_FOUT), PARAMFLAG_FIN | PARAMFLAG_FOUT);
      EXPECT_EQ(desc.tdesc.vt, VT_PTR);
      EXPECT_EQ(desc.tdesc.lptdesc->vt, i == 3 ? VT_I4 : VT_BSTR);
    }
    const auto& retval = func->lprgelemdescParam[params];
    EXPECT_TRUE(retval.paramdesc.wParamFlags & PARAMFLAG_FRETVAL);
    EXPECT_EQ(retval.tdesc.lptdesc->vt, i == 2 ? VT_BSTR : VT_BOOL);
    for (BSTR& n : names) SysFreeString(n);
    vtable->ReleaseFuncDesc(func);
  }
}
