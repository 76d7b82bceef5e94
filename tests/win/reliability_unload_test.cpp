// Unloading the registered server as COM does it: the last CoUninitialize
// with live windows, and DllCanUnloadNow while two threads use the library.
#include <windows.h>
#include <oleauto.h>
#include <wrl/client.h>

#include <gtest/gtest.h>

#include <atomic>
#include <vector>

#include "dispatch_call.h"
#include "dispids.h"
#include "heap_in_use.h"
#include "message_pump.h"
#include "plugin_module.h"
#include "selvane_h.h"
#include "thread_runner.h"
#include "vendor_double_client.h"

using Microsoft::WRL::ComPtr;
using selvane::kDispidEnable;
using selvane::kDispidSetChannel;

namespace {

HRESULT Call(IDispatch* object, DISPID id, std::vector<VARIANT> args = {}) {
  DispatchOutcome out;
  Invoke(object, id, std::move(args), out);
  return out.hr;
}

// A second host thread: enables output, then pumps until told to stop.
struct ThreadB {
  HANDLE ready;
  HANDLE done;
  std::atomic<HRESULT> enable{E_FAIL};
  std::atomic<int> frames{0};

  static DWORD WINAPI Run(LPVOID p) {
    auto& self = *static_cast<ThreadB*>(p);
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    VendorDoubleClient dmx60(L"DMX60.dll");
    {
      ComPtr<IDispatch> object;
      if (SUCCEEDED(CreateByProgId(&object))) self.enable = Call(object.Get(), kDispidEnable);
    }
    dmx60.Reset();
    SetEvent(self.ready);
    PumpUntil([&] { return WaitForSingleObject(self.done, 0) == WAIT_OBJECT_0; }, 20000);
    self.frames = dmx60.FrameCount();
    CoUninitialize();
    return 0;
  }
};

}  // namespace

TEST(UnloadTest, LastCoUninitializeWithLiveWindowsThenMorePumping) {
  VendorDoubleClient dmx60(L"DMX60.dll");
  ASSERT_TRUE(dmx60.Loaded());
  ASSERT_HRESULT_SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
  {
    ComPtr<IDispatch> object;
    ASSERT_HRESULT_SUCCEEDED(CreateByProgId(&object));
    ASSERT_EQ(Call(object.Get(), kDispidSetChannel, {I4(1), I4(91)}), S_OK);
    ASSERT_EQ(Call(object.Get(), kDispidEnable), S_OK);
  }
  CoUninitialize();  // the last one: COM frees its in-process servers
  CoFreeUnusedLibraries();
  dmx60.Reset();
  PumpFor(400);
  ASSERT_NE(GetModuleHandleW(L"Selvane.out.dll"), nullptr) << "the timer window keeps the code loaded";
  EXPECT_GE(dmx60.FrameCount(), 3) << "ticks continue";
  EXPECT_EQ(dmx60.LastFrame()[0], 91);

  // COM again on the same thread: CoFreeUnusedLibrariesEx now asks the
  // library itself, which refuses, and a new object shares the old state.
  ASSERT_HRESULT_SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
  EXPECT_EQ(CanUnloadNow(), S_FALSE);
  CoFreeUnusedLibrariesEx(0, 0);
  ASSERT_NE(GetModuleHandleW(L"Selvane.out.dll"), nullptr);
  {
    ComPtr<IDispatch> object;
    ASSERT_HRESULT_SUCCEEDED(CreateByProgId(&object));
    ASSERT_EQ(Call(object.Get(), kDispidSetChannel, {I4(2), I4(92)}), S_OK);
  }
  CoUninitialize();
  CoFreeUnusedLibraries();
  EXPECT_TRUE(PumpUntil([&] { return dmx60.LastFrame()[1] == 92; }, 2000));
  EXPECT_EQ(dmx60.LastFrame()[0], 91);
}

TEST(UnloadTest, CanUnloadNowAcrossTwoThreads) {
  // Thread A holds an object but has no window: the library stays only while
  // the object lives, and may then be unloaded and loaded again.
  std::atomic<HRESULT> withObject{E_FAIL}, afterRelease{E_FAIL};
  std::atomic<bool> unloaded{false};
  ASSERT_TRUE(RunOnThread([&] {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    {
      ComPtr<IDispatch> object;
      if (SUCCEEDED(CreateByProgId(&object))) withObject = CanUnloadNow();
    }
    afterRelease = CanUnloadNow();
    CoFreeUnusedLibrariesEx(0, 0);
    unloaded = GetModuleHandleW(L"Selvane.out.dll") == nullptr;
    CoUninitialize();
  }));
  EXPECT_EQ(withObject.load(), S_FALSE) << "an object on thread A";
  EXPECT_EQ(afterRelease.load(), S_OK) << "no object, no lock, no window";
  EXPECT_TRUE(unloaded.load()) << "without a window nothing pins the library: COM unloads it";

  // Thread B enables output and keeps its timer window while thread A, with
  // objects and then without, asks again.
  HANDLE bReady = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HANDLE bDone = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  ThreadB b{bReady, bDone};
  HANDLE threadB = CreateThread(nullptr, 0, &ThreadB::Run, &b, 0, nullptr);
  ASSERT_NE(threadB, nullptr);
  ASSERT_EQ(WaitForSingleObject(bReady, 10000), WAIT_OBJECT_0);
  EXPECT_EQ(b.enable.load(), S_OK);

  std::atomic<HRESULT> aWithObject{E_FAIL}, aWithout{E_FAIL};
  ASSERT_TRUE(RunOnThread([&] {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    {
      ComPtr<IDispatch> object;
      if (SUCCEEDED(CreateByProgId(&object))) aWithObject = CanUnloadNow();
    }
    aWithout = CanUnloadNow();
    CoFreeUnusedLibrariesEx(0, 0);
    CoUninitialize();
  }));
  EXPECT_EQ(aWithObject.load(), S_FALSE);
  EXPECT_EQ(aWithout.load(), S_FALSE) << "thread B's timer window keeps the library";
  EXPECT_NE(GetModuleHandleW(L"Selvane.out.dll"), nullptr);

  PumpFor(200);  // thread B pumps meanwhile
  SetEvent(bDone);
  ASSERT_EQ(WaitForSingleObject(threadB, 10000), WAIT_OBJECT_0);
  CloseHandle(threadB);
  CloseHandle(bReady);
  CloseHandle(bDone);
  EXPECT_GE(b.frames.load(), 3) << "thread B's ticks ran while A came and went";
  // Thread B has ended and its window with it; the library stays pinned.
  EXPECT_EQ(CanUnloadNow(), S_OK) << "thread B's window went with its thread";
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  CoFreeUnusedLibrariesEx(0, 0);
  CoUninitialize();
  EXPECT_NE(GetModuleHandleW(L"Selvane.out.dll"), nullptr);
}

namespace {

// The lowest TLS index that is free: it moves up when a slot leaks.
DWORD LowestFreeTlsSlot() {
  const DWORD slot = TlsAlloc();
  if (slot != TLS_OUT_OF_INDEXES) TlsFree(slot);
  return slot;
}

// What a host does to read the plug-in's name and setting: load it, create
// an object, call it early- and late-bound, release it and let it go.
bool LoadUseAndUnload() {
  HMODULE module = LoadLibraryW(SELVANE_DLL_PATH);
  if (!module) return false;
  using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
  using CanUnload = HRESULT(STDAPICALLTYPE*)();
  auto getClassObject = reinterpret_cast<GetClassObject>(reinterpret_cast<void*>(GetProcAddress(module, "DllGetClassObject")));
  auto canUnload = reinterpret_cast<CanUnload>(reinterpret_cast<void*>(GetProcAddress(module, "DllCanUnloadNow")));
  bool ok = getClassObject && canUnload;
  if (ok) {
    ComPtr<IClassFactory> factory;
    ComPtr<_clsOutputDriver> driver;
    ok = SUCCEEDED(getClassObject(CLSID_clsOutputDriver, IID_IClassFactory, &factory)) &&
         SUCCEEDED(factory->CreateInstance(nullptr, IID__clsOutputDriver, &driver));
    if (ok) {
      BSTR title = SysAllocString(L"Selvane Unload Cycles"), file = SysAllocString(L"Selvane.out.dll"), name = nullptr;
      VARIANT_BOOL r;
      ok = SUCCEEDED(driver->Init(&title, &file, &r)) && SUCCEEDED(driver->PluginName(&name));
      LPOLESTR method = const_cast<LPOLESTR>(L"SetChannel");
      DISPID id = 0;
      ok = ok && SUCCEEDED(driver->GetIDsOfNames(IID_NULL, &method, 1, LOCALE_USER_DEFAULT, &id));
      SysFreeString(title);
      SysFreeString(file);
      SysFreeString(name);
    }
    driver.Reset();
    factory.Reset();
    ok = ok && canUnload() == S_OK;
  }
  FreeLibrary(module);
  return ok && GetModuleHandleW(L"Selvane.out.dll") == nullptr;
}

}  // namespace

// A host that loads the plug-in to read its name and setting, releases it and
// lets it go, again and again, must not run out of TLS slots or heap.
TEST(UnloadTest, LoadUnloadCyclesLeakNoTlsSlotAndLittleHeap) {
  ASSERT_HRESULT_SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
  ASSERT_EQ(GetModuleHandleW(L"Selvane.out.dll"), nullptr) << "the library must not be loaded yet";
  for (int i = 0; i < 20; ++i) ASSERT_TRUE(LoadUseAndUnload()) << "warm-up cycle " << i;
  const DWORD slotBefore = LowestFreeTlsSlot();
  const long long heapBefore = HeapBytesInUse();
  for (int i = 0; i < 1000; ++i) ASSERT_TRUE(LoadUseAndUnload()) << "cycle " << i;
  const DWORD slotAfter = LowestFreeTlsSlot();
  const long long heapAfter = HeapBytesInUse();
  std::printf("1000 load/unload cycles: lowest free TLS slot %lu -> %lu, heap in use %lld -> %lld bytes\n",
              static_cast<unsigned long>(slotBefore), static_cast<unsigned long>(slotAfter), heapBefore, heapAfter);
  EXPECT_EQ(slotAfter, slotBefore) << "TLS slots leaked";
  EXPECT_LT(heapAfter - heapBefore, 64 * 1024) << "heap leaked";
  CoUninitialize();
}

// Calling one object from two threads is a host's error, but its reference
// count must stay right all the same, as every COM object's does.
TEST(UnloadTest, ReferenceCountSurvivesTwoThreads) {
  ASSERT_HRESULT_SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
  ComPtr<_clsOutputDriver> driver = NewDriver();
  ASSERT_TRUE(driver);
  struct Hammer {
    _clsOutputDriver* object;
    volatile LONG ready;
    static DWORD WINAPI Run(LPVOID p) {
      auto* h = static_cast<Hammer*>(p);
      // Both threads hammer at once, however late the second one starts.
      InterlockedIncrement(&h->ready);
      while (h->ready < 2) YieldProcessor();
      for (int i = 0; i < 1000000; ++i) {
        h->object->AddRef();
        h->object->Release();
      }
      return 0;
    }
  };
  Hammer hammer{driver.Get(), 0};
  HANDLE threads[2] = {CreateThread(nullptr, 0, &Hammer::Run, &hammer, 0, nullptr),
                       CreateThread(nullptr, 0, &Hammer::Run, &hammer, 0, nullptr)};
  ASSERT_TRUE(threads[0] && threads[1]);
  ASSERT_EQ(WaitForMultipleObjects(2, threads, TRUE, 120000), WAIT_OBJECT_0);
  CloseHandle(threads[0]);
  CloseHandle(threads[1]);
  EXPECT_EQ(driver->AddRef(), 2u) << "the count drifted";
  EXPECT_EQ(driver->Release(), 1u);
  BSTR name = nullptr;
  EXPECT_EQ(driver->PluginName(&name), S_OK);
  SysFreeString(name);
  driver.Reset();
  CoUninitialize();
}
