// Load and threads: long loops of late-bound calls must not leak a BSTR, a
// VARIANT or an error object, and host threads each drive only their own levels.
#include <windows.h>
#include <oleauto.h>
#include <psapi.h>
#include <wrl/client.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <atomic>
#include <functional>
#include <map>
#include <set>
#include <vector>

#include "dispatch_call.h"
#include "dispids.h"
#include "heap_in_use.h"
#include "message_pump.h"
#include "plugin_module.h"
#include "stored_setting.h"
#include "vendor_double_client.h"

using Microsoft::WRL::ComPtr;
using namespace selvane;

namespace {

constexpr long long kLeakLimit = 64 * 1024;

long long PrivateBytes() {
  PROCESS_MEMORY_COUNTERS_EX counters{};
  counters.cb = sizeof counters;
  GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                       sizeof counters);
  return static_cast<long long>(counters.PrivateUsage);
}

struct Growth {
  long long heap;
  long long privateBytes;
};

// Runs `loop` once to warm up (caches, first-use allocations), then again,
// and reports how much the second run grew the process.
Growth Measure(const char* name, const std::function<void()>& loop) {
  loop();
  const long long heapBefore = HeapBytesInUse(), privateBefore = PrivateBytes();
  loop();
  const Growth g{HeapBytesInUse() - heapBefore, PrivateBytes() - privateBefore};
  std::printf("%-44s heap %+lld bytes, private %+lld bytes\n", name, g.heap, g.privateBytes);
  return g;
}

struct LoadTest : testing::Test {
  void SetUp() override {
    ASSERT_HRESULT_SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    ComPtr<_clsOutputDriver> driver = NewDriver();
    ASSERT_TRUE(driver);
    ASSERT_HRESULT_SUCCEEDED(driver.As(&object));
    title = UniqueTitle(L"Selvane Load");
  }
  void TearDown() override {
    object.Reset();
    DeleteApplicationSettings(title);
    CoUninitialize();
  }
  ComPtr<IDispatch> object;
  std::wstring title;
};

}  // namespace

TEST_F(LoadTest, LongLoopsOfLateBoundCallsDoNotGrowTheProcess) {
  // The measure sees a leak of the size the limit is about: strings and C++
  // allocations kept alive show. Wine reports no private bytes (0), so there
  // the heap figure is the one that counts.
  std::vector<BSTR> kept;
  std::vector<void*> allocated;
  const Growth probe = Measure("probe: 40 strings and 40 blocks of 4 KiB", [&] {
    for (int i = 0; i < 40; ++i) {
      kept.push_back(SysAllocStringLen(nullptr, 2048));
      allocated.push_back(operator new(4096));
    }
  });
  for (BSTR b : kept) SysFreeString(b);
  for (void* p : allocated) operator delete(p);
  const bool havePrivateBytes = PrivateBytes() != 0;
  ASSERT_GE(probe.heap, 2 * 40 * 4096) << "the measured run keeps 80 blocks";

  // SetChannel as hosts call it: integers, by value and as script variables
  // (by-reference variants), and every tenth call script variables holding
  // text, which are copied by value for the type library.
  BSTR level = SysAllocString(L"7");
  const auto setChannel = [&](int calls) {
    for (int i = 0; i < calls; ++i) {
      VARIANT channel = I4(1 + i % 509), value = i % 10 == 0 ? Bstr(level) : I4(i & 255);
      DispatchOutcome out;
      if (i % 2 == 0) Invoke(object.Get(), kDispidSetChannel, {VariantRef(&channel), VariantRef(&value)}, out);
      else Invoke(object.Get(), kDispidSetChannel, {channel, value}, out);
      if (out.hr != S_OK) {
        ADD_FAILURE() << "SetChannel failed: 0x" << std::hex << out.hr;
        return;
      }
    }
  };
  const Growth set = Measure("1,000,000 SetChannel", [&] { setChannel(1000000); });

  // More than four arguments are copied to the heap before the type library refuses them.
  const Growth many = Measure("100,000 calls with six strings", [&] {
    for (int i = 0; i < 100000; ++i) {
      DispatchOutcome out;
      Invoke(object.Get(), kDispidDisable, std::vector<VARIANT>(6, Bstr(level)), out);
      if (out.hr != DISP_E_BADPARAMCOUNT) {
        ADD_FAILURE() << "six arguments were not refused: 0x" << std::hex << out.hr;
        return;
      }
    }
  });
  SysFreeString(level);

  const Growth name = Measure("100,000 PluginName", [&] {
    for (int i = 0; i < 100000; ++i) {
      DispatchOutcome out;
      Invoke(object.Get(), kDispidPluginName, {}, out);
      if (out.hr != S_OK || V_VT(&out.result) != VT_BSTR) {
        ADD_FAILURE() << "PluginName failed";
        return;
      }
    }
  });

  BSTR t = SysAllocString(title.c_str()), f = SysAllocString(L"load.dll");
  const Growth initTerm = Measure("3,000 Init and Term", [&] {
    for (int i = 0; i < 3000; ++i) {
      DispatchOutcome init, term;
      Invoke(object.Get(), kDispidInit, {Bstr(t), Bstr(f)}, init);
      Invoke(object.Get(), kDispidTerm, {}, term);
      if (init.hr != S_OK || term.hr != S_OK) {
        ADD_FAILURE() << "Init/Term failed";
        return;
      }
    }
  });

  // Failing calls: each one creates an error object and an exception record.
  StoreSetting(title, L"bad.dll", L"not a number");
  BSTR bad = SysAllocString(L"bad.dll");
  const Growth failing = Measure("100,000 failing SetChannel, 3,000 Init", [&] {
    for (int i = 0; i < 100000; ++i) {
      DispatchOutcome out;
      Invoke(object.Get(), kDispidSetChannel, {I4(0), I4(7)}, out);
      if (out.hr != DISP_E_EXCEPTION || out.Description().empty()) {
        ADD_FAILURE() << "SetChannel(0, 7) did not fail with error information";
        return;
      }
    }
    for (int i = 0; i < 3000; ++i) {
      DispatchOutcome out;
      Invoke(object.Get(), kDispidInit, {Bstr(t), Bstr(bad)}, out);
      if (out.hr != DISP_E_EXCEPTION) {
        ADD_FAILURE() << "Init did not fail";
        return;
      }
    }
  });
  SysFreeString(t);
  SysFreeString(f);
  SysFreeString(bad);

  for (const Growth& g : {set, many, name, initTerm, failing}) {
    EXPECT_LT(g.heap, kLeakLimit);
    if (havePrivateBytes) {
      EXPECT_LT(g.privateBytes, kLeakLimit);
    }
  }
}

namespace {

// One host thread: its own object on DMX-510USB, driving channel 1 and 2 with
// levels that only it uses (10*k+1 ...), while pumping its messages.
struct HostThread {
  int k = 0;
  std::wstring title;
  HANDLE start = nullptr;
  DWORD id = 0;
  std::atomic<bool> ok{false};
  HRESULT created = E_PENDING, initHr = E_PENDING, enableHr = E_PENDING;

  static DWORD WINAPI Run(LPVOID p) {
    auto& self = *static_cast<HostThread*>(p);
    self.id = GetCurrentThreadId();
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    {
      ComPtr<_clsOutputDriver> driver;
      ComPtr<IDispatch> object;
      self.created = PluginModule::Get().Create(driver);
      if (SUCCEEDED(self.created) && SUCCEEDED(driver.As(&object))) {
        BSTR t = SysAllocString(self.title.c_str()), f = SysAllocString(L"Selvane.out.dll");
        DispatchOutcome init, enable;
        Invoke(object.Get(), kDispidInit, {Bstr(t), Bstr(f)}, init);  // nothing stored: DMX-510USB
        SysFreeString(t);
        SysFreeString(f);
        const LONG base = 10 * self.k + 1;
        DispatchOutcome first;
        Invoke(object.Get(), kDispidSetChannel, {I4(1), I4(base)}, first);
        Invoke(object.Get(), kDispidSetChannel, {I4(2), I4(base)}, first);
        WaitForSingleObject(self.start, 10000);
        Invoke(object.Get(), kDispidEnable, {}, enable);
        self.initHr = init.hr;
        self.enableHr = enable.hr == DISP_E_EXCEPTION ? enable.exception.scode : enable.hr;
        bool allOk = init.hr == S_OK && enable.hr == S_OK && first.hr == S_OK;
        for (int j = 0; j < 60; ++j) {
          DispatchOutcome set;
          Invoke(object.Get(), kDispidSetChannel, {I4(1), I4(base + j % 5)}, set);
          allOk = allOk && set.hr == S_OK;
          PumpFor(10);
        }
        DispatchOutcome disable;
        Invoke(object.Get(), kDispidDisable, {}, disable);
        self.ok = allOk && disable.hr == S_OK;
      }
    }
    CoUninitialize();
    return 0;
  }
};

}  // namespace

TEST_F(LoadTest, FourStaThreadsEachSendOnlyTheirOwnLevels) {
  VendorDoubleClient dmx510(L"DMX510.dll");
  ASSERT_TRUE(dmx510.Loaded());
  dmx510.Reset();
  HANDLE start = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HostThread hosts[4];
  HANDLE threads[4];
  for (int k = 0; k < 4; ++k) {
    hosts[k].k = k;
    hosts[k].title = title + L" " + std::to_wstring(k);
    hosts[k].start = start;
    threads[k] = CreateThread(nullptr, 0, &HostThread::Run, &hosts[k], 0, nullptr);
    ASSERT_NE(threads[k], nullptr);
  }
  Sleep(100);
  SetEvent(start);  // all four pump at the same time from here
  ASSERT_EQ(WaitForMultipleObjects(4, threads, TRUE, 30000), WAIT_OBJECT_0);
  for (HANDLE h : threads) CloseHandle(h);
  CloseHandle(start);

  std::map<DWORD, int> owner;
  for (int k = 0; k < 4; ++k) {
    EXPECT_TRUE(hosts[k].ok.load()) << "thread " << k << std::hex << " create 0x" << hosts[k].created
                                    << " init 0x" << hosts[k].initHr << " enable 0x" << hosts[k].enableHr;
    owner[hosts[k].id] = k;
  }
  std::map<int, int> frames;
  std::map<int, std::set<uintptr_t>> addresses;
  for (const VendorDoubleCall& call : dmx510.Calls()) {
    const auto found = owner.find(call.threadId);
    ASSERT_NE(found, owner.end()) << "a vendor call from a thread that is no host";
    const int k = found->second;
    const int base = 10 * k + 1;
    ++frames[k];
    addresses[k].insert(call.address);
    EXPECT_GE(call.levels[0], base) << "thread " << k;
    EXPECT_LT(call.levels[0], base + 5) << "thread " << k;
    EXPECT_EQ(call.levels[1], base) << "thread " << k;
    for (int i = 2; i < 16; ++i) EXPECT_EQ(call.levels[i], 0) << "thread " << k << " channel " << i + 1;
  }
  std::set<uintptr_t> distinct;
  for (int k = 0; k < 4; ++k) {
    EXPECT_GE(frames[k], 5) << "thread " << k << " sent its frames";
    EXPECT_EQ(addresses[k].size(), 1u) << "one buffer per thread";
    distinct.insert(addresses[k].begin(), addresses[k].end());
  }
  EXPECT_EQ(distinct.size(), 4u) << "four threads, four buffers";
  for (int k = 0; k < 4; ++k) DeleteApplicationSettings(hosts[k].title);
}
