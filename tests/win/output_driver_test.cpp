// clsOutputDriver in the real DLL, called early-bound through its vtable.
#include <windows.h>
#include <oleauto.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "automation_hresult.h"
#include "dialog_driver.h"
#include "message_pump.h"
#include "plugin_module.h"
#include "stored_setting.h"
#include "thread_runner.h"
#include "unique_any.h"
#include "vendor_double_client.h"

using Microsoft::WRL::ComPtr;
using selvane::AutomationHresult;
using selvane::unique_bstr;
using enum selvane::AutomationError;

namespace {

unique_bstr MakeBstr(const std::wstring& text) { return unique_bstr(SysAllocStringLen(text.data(), text.size())); }
std::wstring BstrText(BSTR b) { return b ? std::wstring(b, SysStringLen(b)) : std::wstring(); }

struct OutputDriverTest : testing::Test {
  void SetUp() override {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    title = UniqueTitle(L"Selvane Test");
    driver = NewDriver();
    ASSERT_TRUE(driver);
  }
  void TearDown() override {
    if (driver) {
      VARIANT_BOOL r;
      driver->Disable(&r);
    }
    driver.Reset();
    DeleteApplicationSettings(title);
    CoUninitialize();
  }

  // Init with a stored interface selector under this test's title.
  HRESULT InitWith(const wchar_t* stored, ComPtr<_clsOutputDriver> d = nullptr) {
    if (!d) d = driver;
    if (stored) StoreSetting(title, L"Selvane.out.dll", stored);
    unique_bstr t = MakeBstr(title), f = MakeBstr(L"Selvane.out.dll");
    BSTR tb = t.get(), fb = f.get();
    VARIANT_BOOL r = VARIANT_TRUE;
    const HRESULT hr = d->Init(&tb, &fb, &r);
    EXPECT_EQ(r, VARIANT_FALSE);
    return hr;
  }
  HRESULT Set(LONG channel, LONG value, VARIANT_BOOL* result) {
    return driver->SetChannel(&channel, &value, result);
  }
  VARIANT_BOOL Call(HRESULT (STDMETHODCALLTYPE _clsOutputDriver::*method)(VARIANT_BOOL*)) {
    VARIANT_BOOL r = 7;
    EXPECT_HRESULT_SUCCEEDED((driver.Get()->*method)(&r));
    return r;
  }

  std::wstring title;
  ComPtr<_clsOutputDriver> driver;
};

std::wstring ErrorDescription(std::wstring* source = nullptr) {
  ComPtr<IErrorInfo> info;
  if (GetErrorInfo(0, &info) != S_OK) return L"<none>";
  unique_bstr description, src;
  info->GetDescription(description.put());
  info->GetSource(src.put());
  if (source) *source = BstrText(src.get());
  return BstrText(description.get());
}

}  // namespace

TEST_F(OutputDriverTest, FixedResultsOfTheMethods) {
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(Call(&_clsOutputDriver::Enable), VARIANT_FALSE);
    EXPECT_EQ(Call(&_clsOutputDriver::Disable), VARIANT_TRUE);
    EXPECT_EQ(Call(&_clsOutputDriver::Disable), VARIANT_TRUE);
  }
  EXPECT_HRESULT_SUCCEEDED(InitWith(nullptr));
  EXPECT_EQ(Call(&_clsOutputDriver::Term), VARIANT_FALSE);
  {
    DialogDriver dialog;
    EXPECT_EQ(Call(&_clsOutputDriver::Configure), VARIANT_FALSE);
    EXPECT_TRUE(dialog.SawDialog());
  }
  BSTR name = nullptr;
  ASSERT_HRESULT_SUCCEEDED(driver->PluginName(&name));
  EXPECT_STREQ(name, L"Selvane DMX-60; DMX-120; DMX-510USB");
  EXPECT_EQ(SysStringLen(name), 35u);
  BSTR second = nullptr;
  ASSERT_HRESULT_SUCCEEDED(driver->PluginName(&second));
  EXPECT_NE(name, second) << "each call returns a new string";
  SysFreeString(name);
  SysFreeString(second);
}

// The checks and their order are the rule's, tested case for case natively;
// here each outcome once, as the method answers it, and the buffer that
// reaches the interface.
TEST_F(OutputDriverTest, SetChannelAnswersEachOutcomeAndFillsTheBuffer) {
  ASSERT_HRESULT_SUCCEEDED(InitWith(L"510"));
  struct Case { LONG channel, value; HRESULT hr; VARIANT_BOOL result; };
  const Case cases[] = {
      {1, 255, S_OK, VARIANT_TRUE},  // stored: the first channel and the last
      {509, 9, S_OK, VARIANT_TRUE},
      {5, 200, S_OK, VARIANT_TRUE},
      {510, 7, S_OK, VARIANT_FALSE},  // ignored
      {0, 7, AutomationHresult(SubscriptOutOfRange), VARIANT_FALSE},
      {10, 256, AutomationHresult(Overflow), VARIANT_FALSE},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.channel << "/" << c.value);
    VARIANT_BOOL r = 7;
    EXPECT_EQ(Set(c.channel, c.value, &r), c.hr);
    EXPECT_EQ(r, c.result);
  }
  // The buffer as the DMX-510USB interface receives it.
  VendorDoubleClient dmx510(L"DMX510.dll");
  ASSERT_TRUE(dmx510.Loaded());
  dmx510.Reset();
  EXPECT_EQ(Call(&_clsOutputDriver::Enable), VARIANT_FALSE);
  ASSERT_TRUE(PumpUntil([&] { return dmx510.FrameCount() >= 1; }, 2000));
  std::vector<uint8_t> expected(510, 0);
  expected[0] = 255;
  expected[508] = 9;
  expected[4] = 200;
  EXPECT_EQ(dmx510.LastFrame(), expected) << "failed and ignored calls change nothing; entry 509 stays 0";
  const auto calls = dmx510.Calls();
  EXPECT_EQ(calls.front().count, 509);
}

TEST_F(OutputDriverTest, FailuresCarryGermanErrorInformationAndSuccessClearsIt) {
  VARIANT_BOOL r;
  EXPECT_EQ(Set(0, 7, &r), AutomationHresult(SubscriptOutOfRange));
  std::wstring source;
  EXPECT_EQ(ErrorDescription(&source), L"Index au\u00dferhalb des g\u00fcltigen Bereichs");
  EXPECT_EQ(source, L"Selvane.clsOutputDriver");
  EXPECT_EQ(Set(3, 300, &r), AutomationHresult(Overflow));
  EXPECT_EQ(ErrorDescription(), L"\u00dcberlauf");

  ComPtr<ISupportErrorInfo> support;
  ASSERT_HRESULT_SUCCEEDED(driver.As(&support));
  EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID__clsOutputDriver), S_OK);

  EXPECT_EQ(Set(3, 300, &r), AutomationHresult(Overflow));
  EXPECT_EQ(Set(3, 30, &r), S_OK);
  EXPECT_EQ(ErrorDescription(), L"<none>") << "a success clears the error information";

  StoreSetting(title, L"Selvane.out.dll", L"abc");
  EXPECT_EQ(InitWith(nullptr), AutomationHresult(TypeMismatch));
  EXPECT_EQ(ErrorDescription(), L"Typen unvertr\u00e4glich");
}

TEST_F(OutputDriverTest, TheOverviewsLevelChangeReachesDmx120) {
  VendorDoubleClient dmx120(L"DMX120.dll");
  ASSERT_TRUE(dmx120.Loaded());
  dmx120.Reset();
  ASSERT_HRESULT_SUCCEEDED(InitWith(L"120"));
  VARIANT_BOOL r;
  ASSERT_EQ(Set(5, 200, &r), S_OK);
  EXPECT_EQ(r, VARIANT_TRUE);
  EXPECT_EQ(Call(&_clsOutputDriver::Enable), VARIANT_FALSE);
  ASSERT_TRUE(PumpUntil([&] { return dmx120.FrameCount() >= 1 && dmx120.CallCount() >= 120; }, 2000));
  const auto calls = dmx120.Calls();
  ASSERT_GE(calls.size(), 120u);
  for (int i = 0; i < 120; ++i) EXPECT_EQ(calls[i].index, i);
  EXPECT_EQ(calls[4].level, 200);
  EXPECT_EQ(calls[3].level, 0);
}

TEST_F(OutputDriverTest, LevelsSetWhileDisabledGoOutOnTheFirstTickAfterEnable) {
  VendorDoubleClient dmx60(L"DMX60.dll");
  ASSERT_TRUE(dmx60.Loaded());
  ASSERT_HRESULT_SUCCEEDED(InitWith(L"64"));
  EXPECT_EQ(Call(&_clsOutputDriver::Disable), VARIANT_TRUE);
  dmx60.Reset();
  VARIANT_BOOL r;
  Set(1, 10, &r);
  Set(64, 64, &r);
  Set(65, 65, &r);  // stored, but DMX-60 sends only 64 channels
  PumpFor(150);
  EXPECT_EQ(dmx60.CallCount(), 0);
  EXPECT_EQ(Call(&_clsOutputDriver::Enable), VARIANT_FALSE);
  ASSERT_TRUE(PumpUntil([&] { return dmx60.CallCount() >= 64; }, 2000));
  const auto calls = dmx60.Calls();
  EXPECT_EQ(calls[0].level, 10);
  EXPECT_EQ(calls[63].level, 64);
}

TEST_F(OutputDriverTest, EnableBeforeInitUsesDmx60) {
  VendorDoubleClient dmx60(L"DMX60.dll");
  ASSERT_TRUE(dmx60.Loaded());
  dmx60.Reset();
  // A fresh thread has ChannelCount 0.
  int calls = -1;
  HRESULT created = E_FAIL;
  ASSERT_TRUE(RunOnThread([&] {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    {
      ComPtr<_clsOutputDriver> d;
      created = PluginModule::Get().Create(d);
      VARIANT_BOOL r;
      if (d) d->Enable(&r);
      PumpUntil([&] { return dmx60.CallCount() >= 64; }, 2000);
      if (d) d->Disable(&r);
      calls = dmx60.CallCount();
    }
    CoUninitialize();
  }));
  EXPECT_HRESULT_SUCCEEDED(created);
  EXPECT_GE(calls, 64);
  EXPECT_EQ(calls % 64, 0);
}

TEST_F(OutputDriverTest, ConfigureChoiceIsSavedByTermAndLoadedByTheNextInit) {
  ASSERT_HRESULT_SUCCEEDED(InitWith(nullptr));  // first run: 510
  {
    DialogDriver dialog(L"DMX-120");
    EXPECT_EQ(Call(&_clsOutputDriver::Configure), VARIANT_FALSE);
    EXPECT_EQ(dialog.CheckedWhenOpened(), L"DMX-510USB");
  }
  EXPECT_FALSE(ReadSetting(title, L"Selvane.out.dll")) << "Configure does not save";
  EXPECT_EQ(Call(&_clsOutputDriver::Term), VARIANT_FALSE);
  EXPECT_EQ(ReadSetting(title, L"Selvane.out.dll"), L"120");

  // A new run: another object on a new thread loads the stored choice.
  std::wstring opened;
  ASSERT_TRUE(RunOnThread([&] {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    {
      ComPtr<_clsOutputDriver> next;
      if (SUCCEEDED(PluginModule::Get().Create(next)) && SUCCEEDED(InitWith(nullptr, next))) {
        DialogDriver dialog;
        VARIANT_BOOL r;
        next->Configure(&r);
        opened = dialog.CheckedWhenOpened();
      }
    }
    CoUninitialize();
  }));
  EXPECT_EQ(opened, L"DMX-120");
}

TEST_F(OutputDriverTest, ConfigurePausesRunningTicksForExactlyTheDialogTime) {
  VendorDoubleClient dmx60(L"DMX60.dll");
  ASSERT_TRUE(dmx60.Loaded());
  ASSERT_HRESULT_SUCCEEDED(InitWith(L"64"));
  EXPECT_EQ(Call(&_clsOutputDriver::Enable), VARIANT_FALSE);
  ASSERT_TRUE(PumpUntil([&] { return dmx60.FrameCount() >= 2; }, 2000));
  dmx60.Reset();
  // On the vendor double's clock, which stamps every call.
  const double beforeMs = VendorDoubleClient::NowMs();
  ULONGLONG opened = 0, closed = 0;
  {
    DialogDriver dialog(L"", 400);
    EXPECT_EQ(Call(&_clsOutputDriver::Configure), VARIANT_FALSE);
    opened = dialog.OpenedAt();
    closed = dialog.ClosedAt();
  }
  const double returnedMs = VendorDoubleClient::NowMs();
  const int32_t duringDialog = dmx60.CallCount();
  ASSERT_GE(closed - opened, 400u);
  EXPECT_EQ(duringDialog, 0) << "no tick while the dialog is open";
  ASSERT_TRUE(PumpUntil([&] { return dmx60.FrameCount() >= 2; }, 2000)) << "ticks resume afterwards";
  // The pause runs from the call to the first tick after it: the dialog's
  // time (all of Configure's) and then at most a few 45 ms periods.
  const double dialogMs = returnedMs - beforeMs;
  const double pauseMs = FrameTimes(dmx60.Calls()).front() - beforeMs;
  EXPECT_GE(dialogMs, 400.0);
  EXPECT_LE(pauseMs, dialogMs + 3 * 45.0) << "ticks resume as the dialog closes, not later";
}

// A host's own thread timer that calls Enable or Disable once.
struct HostTimer {
  static inline _clsOutputDriver* driver;
  static inline HRESULT (STDMETHODCALLTYPE _clsOutputDriver::*method)(VARIANT_BOOL*);
  static inline int calls;
  static void CALLBACK Call(HWND, UINT, UINT_PTR, DWORD) {
    VARIANT_BOOL r;
    if (calls++ == 0) (driver->*method)(&r);
  }
};

TEST_F(OutputDriverTest, ConfigureWhileStoppedLeavesOutputStoppedAndKeepsAPause) {
  VendorDoubleClient dmx60(L"DMX60.dll");
  ASSERT_TRUE(dmx60.Loaded());
  ASSERT_HRESULT_SUCCEEDED(InitWith(L"64"));
  EXPECT_EQ(Call(&_clsOutputDriver::Disable), VARIANT_TRUE);
  dmx60.Reset();
  {
    DialogDriver dialog;
    Call(&_clsOutputDriver::Configure);
  }
  PumpFor(200);
  EXPECT_EQ(dmx60.CallCount(), 0);

  // Paused by a zero result: Configure does not lift the pause.
  dmx60.SetResult(63, 0);
  EXPECT_EQ(Call(&_clsOutputDriver::Enable), VARIANT_FALSE);
  ASSERT_TRUE(PumpUntil([&] { return dmx60.CallCount() >= 64; }, 2000));
  {
    DialogDriver dialog;
    Call(&_clsOutputDriver::Configure);
  }
  PumpFor(200);
  EXPECT_EQ(dmx60.CallCount(), 64);
}

// A host that enables or disables output from its own timer while the dialog
// is open: nothing is sent while it is open, and when it closes the host's
// last word stands.
TEST_F(OutputDriverTest, EnableOrDisableDuringTheDialogTakesEffectWhenItCloses) {
  VendorDoubleClient dmx60(L"DMX60.dll");
  ASSERT_TRUE(dmx60.Loaded());
  ASSERT_HRESULT_SUCCEEDED(InitWith(L"64"));
  struct Case {
    const char* name;
    HRESULT (STDMETHODCALLTYPE _clsOutputDriver::*before)(VARIANT_BOOL*);
    HRESULT (STDMETHODCALLTYPE _clsOutputDriver::*during)(VARIANT_BOOL*);
    bool sendsAfter;
  };
  const Case cases[] = {{"stopped, Enable", &_clsOutputDriver::Disable, &_clsOutputDriver::Enable, true},
                        {"running, Disable", &_clsOutputDriver::Enable, &_clsOutputDriver::Disable, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Call(c.before);
    PumpFor(100);
    dmx60.Reset();
    HostTimer::driver = driver.Get();
    HostTimer::method = c.during;
    HostTimer::calls = 0;
    const UINT_PTR hostTimer = SetTimer(nullptr, 0, 50, &HostTimer::Call);
    {
      DialogDriver dialog(L"", 400);
      Call(&_clsOutputDriver::Configure);
    }
    const int32_t duringDialog = dmx60.CallCount();
    KillTimer(nullptr, hostTimer);
    ASSERT_GE(HostTimer::calls, 1) << "the host's timer ran inside the dialog";
    EXPECT_EQ(duringDialog, 0) << "output while the dialog was open";
    PumpFor(300);
    if (c.sendsAfter) {
      EXPECT_GE(dmx60.CallCount() - duringDialog, 3 * 64) << "the host's Enable stands after the dialog";
    } else {
      EXPECT_EQ(dmx60.CallCount(), duringDialog) << "the host's Disable stands after the dialog";
    }
  }
}

TEST_F(OutputDriverTest, TermSavesUnderTheNamesOfTheLastInit) {
  const std::wstring second = title + L" second";
  auto init = [&](const std::wstring& t, const std::wstring& f) {
    unique_bstr tb = MakeBstr(t), fb = MakeBstr(f);
    BSTR a = tb.get(), b = fb.get();
    VARIANT_BOOL r;
    return driver->Init(&a, &b, &r);
  };
  ASSERT_HRESULT_SUCCEEDED(init(title, L"first.dll"));
  ASSERT_HRESULT_SUCCEEDED(init(second, L"second.dll"));
  EXPECT_EQ(Call(&_clsOutputDriver::Term), VARIANT_FALSE);
  EXPECT_FALSE(ReadSetting(title, L"first.dll"));
  EXPECT_EQ(ReadSetting(second, L"second.dll"), L"510");
  DeleteApplicationSettings(second);
}

TEST_F(OutputDriverTest, NullStringsCountAsEmptyAndAnEmptyTitleCannotBeSaved) {
  BSTR none = nullptr, none2 = nullptr;
  VARIANT_BOOL r = VARIANT_TRUE;
  EXPECT_EQ(driver->Init(&none, &none2, &r), S_OK);
  EXPECT_EQ(r, VARIANT_FALSE);
  r = VARIANT_TRUE;
  EXPECT_EQ(driver->Term(&r), AutomationHresult(InvalidProcedureCall));
  EXPECT_EQ(r, VARIANT_FALSE);
  ComPtr<_clsOutputDriver> fresh = NewDriver();
  EXPECT_EQ(fresh->Term(&r), AutomationHresult(InvalidProcedureCall)) << "Term before Init has empty names";
}

TEST_F(OutputDriverTest, InitFailureKeepsChannelCountButStoresTheNames) {
  ASSERT_HRESULT_SUCCEEDED(InitWith(L"120"));
  StoreSetting(title, L"Selvane.out.dll", L"zwanzig");
  EXPECT_EQ(InitWith(nullptr), AutomationHresult(TypeMismatch));
  StoreSetting(title, L"Selvane.out.dll", L"99999999999");
  EXPECT_EQ(InitWith(nullptr), AutomationHresult(Overflow));
  EXPECT_EQ(Call(&_clsOutputDriver::Term), VARIANT_FALSE);
  EXPECT_EQ(ReadSetting(title, L"Selvane.out.dll"), L"120");
}

TEST_F(OutputDriverTest, ObjectsOnOneThreadShareOneStateAndReleaseLeavesTicksRunning) {
  VendorDoubleClient dmx510(L"DMX510.dll");
  ASSERT_TRUE(dmx510.Loaded());
  ASSERT_HRESULT_SUCCEEDED(InitWith(L"510"));
  ComPtr<_clsOutputDriver> other = NewDriver();
  LONG channel = 2, value = 42;
  VARIANT_BOOL r;
  ASSERT_HRESULT_SUCCEEDED(other->SetChannel(&channel, &value, &r));
  EXPECT_EQ(Call(&_clsOutputDriver::Enable), VARIANT_FALSE);
  other.Reset();
  driver.Reset();  // every object gone
  dmx510.Reset();
  ASSERT_TRUE(PumpUntil([&] { return dmx510.FrameCount() >= 3; }, 2000));
  EXPECT_EQ(dmx510.LastFrame()[1], 42);
  driver = NewDriver();  // TearDown disables through a new object on the same thread
}

TEST_F(OutputDriverTest, ObjectsOnTwoThreadsKeepSeparateBuffers) {
  VendorDoubleClient dmx510(L"DMX510.dll");
  ASSERT_TRUE(dmx510.Loaded());
  dmx510.Reset();
  ASSERT_HRESULT_SUCCEEDED(InitWith(L"510"));
  VARIANT_BOOL r;
  Set(1, 11, &r);
  EXPECT_EQ(Call(&_clsOutputDriver::Enable), VARIANT_FALSE);
  DWORD otherThread = 0;
  ASSERT_TRUE(RunOnThread([&] {
    otherThread = GetCurrentThreadId();
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    {
      ComPtr<_clsOutputDriver> d;
      if (SUCCEEDED(PluginModule::Get().Create(d)) && SUCCEEDED(InitWith(nullptr, d))) {
        LONG channel = 1, value = 77;
        d->SetChannel(&channel, &value, &r);
        d->Enable(&r);
        PumpFor(300);
        d->Disable(&r);
      }
    }
    CoUninitialize();
  }));
  PumpFor(100);
  int mine = 0, theirs = 0;
  for (const auto& call : dmx510.Calls()) {
    if (call.threadId == GetCurrentThreadId()) {
      ++mine;
      EXPECT_EQ(call.levels[0], 11);
    } else if (call.threadId == otherThread) {
      ++theirs;
      EXPECT_EQ(call.levels[0], 77);
    }
  }
  EXPECT_GT(mine, 0);
  EXPECT_GT(theirs, 0);
}
