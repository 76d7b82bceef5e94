// Selvane.out.dll registered with regsvr32, created by ProgID and called
// late-bound through IDispatch, as hosts and script engines do.
#include <windows.h>
#include <oleauto.h>
#include <wrl/client.h>

#include <gtest/gtest.h>

#include "automation_hresult.h"
#include "dispatch_call.h"
#include "dispids.h"
#include "message_pump.h"
#include "selvane_h.h"
#include "vendor_double_client.h"

using Microsoft::WRL::ComPtr;
using namespace selvane;
using enum selvane::AutomationError;

namespace {

struct LateBindingTest : testing::Test {
  void SetUp() override {
    ASSERT_HRESULT_SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    CLSID clsid;
    ASSERT_HRESULT_SUCCEEDED(CLSIDFromProgID(L"Selvane.clsOutputDriver", &clsid)) << "not registered";
    EXPECT_EQ(clsid, CLSID_clsOutputDriver);
    ASSERT_HRESULT_SUCCEEDED(
        CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, &object));
  }
  void TearDown() override {
    object.Reset();
    CoUninitialize();
  }
  ComPtr<IDispatch> object;
};

}  // namespace

TEST_F(LateBindingTest, NamesResolveToTheFixedDispidsCaseInsensitively) {
  const struct { const wchar_t* name; DISPID id; } names[] = {
      {L"Disable", kDispidDisable},       {L"Enable", kDispidEnable},
      {L"PluginName", kDispidPluginName}, {L"SetChannel", kDispidSetChannel},
      {L"Configure", kDispidConfigure},   {L"Init", kDispidInit},
      {L"Term", kDispidTerm},             {L"setchannel", kDispidSetChannel},
      {L"PLUGINNAME", kDispidPluginName}, {L"eNaBlE", kDispidEnable}};
  for (const auto& n : names) EXPECT_EQ(DispidOf(object.Get(), n.name), n.id) << n.name;

  for (const wchar_t* unknown : {L"SetChannels", L"Channel", L"", L"QueryInterface", L"Invoke", L"AddRef", L"Selvane"}) {
    DISPID id = 0;
    LPOLESTR list[] = {const_cast<LPOLESTR>(unknown)};
    EXPECT_EQ(object->GetIDsOfNames(IID_NULL, list, 1, LOCALE_USER_DEFAULT, &id), DISP_E_UNKNOWNNAME)
        << unknown;
  }
  UINT count = 0;
  EXPECT_HRESULT_SUCCEEDED(object->GetTypeInfoCount(&count));
  EXPECT_EQ(count, 1u);
}

TEST_F(LateBindingTest, SetChannelResultsAndErrorsArriveThroughInvoke) {
  DispatchOutcome ok;
  Invoke(object.Get(), kDispidSetChannel, {I4(3), I4(128)}, ok);
  EXPECT_EQ(ok.hr, S_OK);
  EXPECT_EQ(V_VT(&ok.result), VT_BOOL);
  EXPECT_EQ(V_BOOL(&ok.result), VARIANT_TRUE);

  DispatchOutcome ignored;
  Invoke(object.Get(), kDispidSetChannel, {I4(600), I4(300)}, ignored);
  EXPECT_EQ(ignored.hr, S_OK);
  EXPECT_EQ(V_BOOL(&ignored.result), VARIANT_FALSE);

  DispatchOutcome overflow;
  Invoke(object.Get(), kDispidSetChannel, {I4(3), I4(300)}, overflow);
  EXPECT_EQ(overflow.hr, DISP_E_EXCEPTION);
  EXPECT_EQ(overflow.exception.scode, AutomationHresult(Overflow));
  EXPECT_EQ(overflow.Description(), L"\u00dcberlauf");
  EXPECT_EQ(overflow.Source(), L"Selvane.clsOutputDriver");

  DispatchOutcome subscript;
  Invoke(object.Get(), kDispidSetChannel, {I4(0), I4(300)}, subscript);
  EXPECT_EQ(subscript.hr, DISP_E_EXCEPTION);
  EXPECT_EQ(subscript.exception.scode, AutomationHresult(SubscriptOutOfRange));
}

TEST_F(LateBindingTest, ScriptVariablesPassedByReferenceAreAcceptedAndLeftAlone) {
  VARIANT channel = I4(5), value = I4(200);
  std::vector<VARIANT> args = {VariantRef(&value), VariantRef(&channel)};  // DISPPARAMS order
  DISPPARAMS params{args.data(), nullptr, 2, 0};
  VARIANT result;
  VariantInit(&result);
  EXCEPINFO exception{};
  ASSERT_EQ(object->Invoke(kDispidSetChannel, IID_NULL, 0, DISPATCH_METHOD, &params, &result, &exception, nullptr),
            S_OK);
  EXPECT_EQ(V_BOOL(&result), VARIANT_TRUE);
  EXPECT_EQ(V_VT(&channel), VT_I4);
  EXPECT_EQ(V_I4(&channel), 5);
  EXPECT_EQ(V_I4(&value), 200);
  EXPECT_EQ(V_VT(&args[0]), VT_BYREF | VT_VARIANT);
  EXPECT_EQ(V_VARIANTREF(&args[0]), &value);

  // Strings: a by-value BSTR stays the caller's own, unchanged.
  BSTR title = SysAllocString(L"Late Test");
  BSTR file = SysAllocString(L"late.dll");
  VARIANT fileVariant = Bstr(file);
  VARIANT initArgs[2] = {VariantRef(&fileVariant), Bstr(title)};
  DISPPARAMS initParams{initArgs, nullptr, 2, 0};
  VARIANT initResult;
  VariantInit(&initResult);
  EXPECT_EQ(object->Invoke(kDispidInit, IID_NULL, 0, DISPATCH_METHOD, &initParams, &initResult, nullptr,
                           nullptr),
            S_OK);
  EXPECT_EQ(V_BSTR(&initArgs[1]), title);
  EXPECT_EQ(V_BSTR(&fileVariant), file);
  EXPECT_STREQ(V_BSTR(&initArgs[1]), L"Late Test");
  SysFreeString(title);
  SysFreeString(file);
  RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\VB and VBA Program Settings\\Late Test");
}

TEST_F(LateBindingTest, FastPathBehavesExactlyLikeTheTypeLibraryPath) {
  const LONG channels[] = {1, 3, 509, 510, 600, 0, -5, LONG(0x80000000), 0x7fffffff};
  const LONG values[] = {0, 128, 255, 256, -1, 300, LONG(0x80000000)};
  for (LONG c : channels) {
    for (LONG v : values) {
      SCOPED_TRACE(testing::Message() << c << "/" << v);
      DispatchOutcome fast, typelib;
      Invoke(object.Get(), kDispidSetChannel, {I4(c), I4(v)}, fast);
      VARIANT cv = I4(c), vv = I4(v);
      Invoke(object.Get(), kDispidSetChannel, {VariantRef(&cv), VariantRef(&vv)}, typelib);
      EXPECT_EQ(fast.hr, typelib.hr);
      EXPECT_EQ(V_VT(&fast.result), V_VT(&typelib.result));
      if (V_VT(&fast.result) == VT_BOOL) {
        EXPECT_EQ(V_BOOL(&fast.result), V_BOOL(&typelib.result));
      }
      EXPECT_EQ(fast.exception.scode, typelib.exception.scode);
      EXPECT_EQ(fast.Description(), typelib.Description());
      EXPECT_EQ(fast.Source(), typelib.Source());
    }
  }
  // VT_I2 and by-reference integers take the same path with the same results.
  LONG byRef = 9;
  DispatchOutcome mixed;
  Invoke(object.Get(), kDispidSetChannel, {I2(7), I4Ref(&byRef)}, mixed);
  EXPECT_EQ(mixed.hr, S_OK);
  EXPECT_EQ(V_BOOL(&mixed.result), VARIANT_TRUE);
  EXPECT_EQ(byRef, 9);
}

TEST_F(LateBindingTest, PluginNameIsABstrThatTheCallerFrees) {
  DispatchOutcome name;
  Invoke(object.Get(), kDispidPluginName, {}, name, DISPATCH_METHOD | DISPATCH_PROPERTYGET);
  ASSERT_EQ(name.hr, S_OK);
  ASSERT_EQ(V_VT(&name.result), VT_BSTR);
  EXPECT_STREQ(V_BSTR(&name.result), L"Selvane DMX-60; DMX-120; DMX-510USB");
  // DispatchOutcome's destructor frees it with VariantClear.
}

TEST_F(LateBindingTest, CanUnloadOnlyWithoutObjectsLocksOrWindows) {
  EXPECT_EQ(CanUnloadNow(), S_FALSE) << "an object is alive";
  object.Reset();
  EXPECT_EQ(CanUnloadNow(), S_OK) << "no object, no lock, no window yet";

  ComPtr<IClassFactory> factory;
  ASSERT_HRESULT_SUCCEEDED(CoGetClassObject(CLSID_clsOutputDriver, CLSCTX_INPROC_SERVER, nullptr,
                                            IID_IClassFactory, &factory));
  factory->LockServer(TRUE);
  EXPECT_EQ(CanUnloadNow(), S_FALSE);
  factory->LockServer(FALSE);
  EXPECT_EQ(CanUnloadNow(), S_OK);
  ASSERT_HRESULT_SUCCEEDED(factory->CreateInstance(nullptr, IID_IDispatch, &object));
  factory.Reset();

  DispatchOutcome enable;
  Invoke(object.Get(), kDispidEnable, {}, enable);
  EXPECT_EQ(enable.hr, S_OK);
  EXPECT_EQ(V_BOOL(&enable.result), VARIANT_FALSE);
  object.Reset();
  EXPECT_EQ(CanUnloadNow(), S_FALSE) << "the timer window keeps the library";
}

TEST_F(LateBindingTest, OtherClassesAreNotAvailable) {
  using Fn = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
  auto get = reinterpret_cast<Fn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"Selvane.out.dll"), "DllGetClassObject")));
  ASSERT_NE(get, nullptr);
  void* factory = reinterpret_cast<void*>(1);
  EXPECT_EQ(get(IID__clsOutputDriver, IID_IClassFactory, &factory), CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(factory, nullptr);
}

TEST_F(LateBindingTest, LastCoUninitializeWithALiveTimerDoesNotUnloadTheCode) {
  VendorDoubleClient dmx60(L"DMX60.dll");
  ASSERT_TRUE(dmx60.Loaded());
  DispatchOutcome enable;
  Invoke(object.Get(), kDispidEnable, {}, enable);
  ASSERT_EQ(enable.hr, S_OK);
  object.Reset();
  CoUninitialize();  // the host's last one: in-process servers are freed
  CoFreeUnusedLibraries();
  dmx60.Reset();
  PumpFor(400);  // ticks keep arriving at the timer window
  EXPECT_NE(GetModuleHandleW(L"Selvane.out.dll"), nullptr);
  EXPECT_GE(dmx60.FrameCount(), 3);
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);  // balance TearDown
}
