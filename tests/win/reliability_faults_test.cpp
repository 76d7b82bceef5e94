// Vendor faults with the real DLL: it is copied into a private folder together
// with just the vendor libraries a test places there, so that the plug-in's
// search of its own folder finds exactly those. This program's own folder
// holds no vendor library.
#include <windows.h>
#include <oleauto.h>
#include <wrl/client.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "dispatch_call.h"
#include "dispids.h"
#include "fp_state.h"
#include "message_pump.h"
#include "plugin_module.h"
#include "stored_setting.h"
#include "vendor_double_client.h"

#ifndef SELVANE_DLL_PATH
#error "SELVANE_DLL_PATH must name the built Selvane.out.dll"
#endif
#ifndef SELVANE_DOUBLES_DIR
#error "SELVANE_DOUBLES_DIR must name the folder of the vendor doubles"
#endif

using Microsoft::WRL::ComPtr;

namespace {

std::wstring Backslashed(std::wstring path) {
  std::replace(path.begin(), path.end(), L'/', L'\\');
  return path;
}

std::wstring OwnFolder() {
  wchar_t path[MAX_PATH];
  const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring p(path, n);
  return p.substr(0, p.find_last_of(L"\\/") + 1);
}

void RemoveFolder(const std::wstring& folder) {
  WIN32_FIND_DATAW found;
  HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &found);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        DeleteFileW((folder + L"\\" + found.cFileName).c_str());
    } while (FindNextFileW(find, &found));
    FindClose(find);
  }
  RemoveDirectoryW(folder.c_str());
}

// A folder of this process's own beside the program; earlier runs' folders,
// whose libraries are no longer loaded, are removed first.
class PrivateFolder {
 public:
  PrivateFolder() {
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW((OwnFolder() + L"run-*").c_str(), &found);
    if (find != INVALID_HANDLE_VALUE) {
      do RemoveFolder(OwnFolder() + found.cFileName);
      while (FindNextFileW(find, &found));
      FindClose(find);
    }
    path_ = OwnFolder() + L"run-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
            std::to_wstring(GetTickCount64());
    CreateDirectoryW(path_.c_str(), nullptr);
  }
  const std::wstring& Path() const { return path_; }
  std::wstring File(const wchar_t* name) const { return path_ + L"\\" + name; }

 private:
  std::wstring path_;
};

PrivateFolder& Folder() {
  static PrivateFolder folder;
  return folder;
}

std::wstring DoubleSource(const wchar_t* name) { return Backslashed(SELVANE_DOUBLES_DIR) + L"\\" + name; }

// Puts a vendor double into the plug-in's folder under `asName`.
bool Place(const wchar_t* source, const wchar_t* asName) {
  return CopyFileW(DoubleSource(source).c_str(), Folder().File(asName).c_str(), FALSE) != 0;
}
bool Remove(const wchar_t* name) { return DeleteFileW(Folder().File(name).c_str()) != 0; }
bool Loaded(const wchar_t* name) { return GetModuleHandleW(Folder().File(name).c_str()) != nullptr; }

// The plug-in, copied into the private folder and loaded from there.
PluginModule& CopiedPlugin() {
  static PluginModule plugin([] {
    static const std::wstring target = Folder().File(L"Selvane.out.dll");
    return CopyFileW(Backslashed(SELVANE_DLL_PATH).c_str(), target.c_str(), FALSE) ? target.c_str() : L"";
  }());
  return plugin;
}

// The host's side of one object: the methods early-bound, SetChannel late-bound.
struct Host {
  ComPtr<_clsOutputDriver> driver;
  ComPtr<IDispatch> dispatch;

  bool Create() {
    return SUCCEEDED(CopiedPlugin().Create(driver)) && SUCCEEDED(driver.As(&dispatch));
  }
  HRESULT Enable() {
    VARIANT_BOOL r;
    return driver->Enable(&r);
  }
  HRESULT Disable() {
    VARIANT_BOOL r;
    return driver->Disable(&r);
  }
  HRESULT Init(const std::wstring& title) {
    BSTR t = SysAllocString(title.c_str()), f = SysAllocString(L"Selvane.out.dll");
    VARIANT_BOOL r;
    const HRESULT hr = driver->Init(&t, &f, &r);
    SysFreeString(t);
    SysFreeString(f);
    return hr;
  }
  HRESULT Term() {
    VARIANT_BOOL r;
    return driver->Term(&r);
  }
  HRESULT Set(LONG channel, LONG level) {
    DispatchOutcome out;
    Invoke(dispatch.Get(), selvane::kDispidSetChannel, {I4(channel), I4(level)}, out);
    return out.hr;
  }
};

struct FaultTest : testing::Test {
  void SetUp() override {
    ASSERT_HRESULT_SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    ASSERT_NE(CopiedPlugin().Handle(), nullptr) << "cannot load the copied Selvane.out.dll";
    ASSERT_TRUE(host.Create());
    title = UniqueTitle(L"Selvane Faults");
  }
  void TearDown() override {
    if (host.driver) host.Disable();
    host = Host{};
    DeleteApplicationSettings(title);
    CoUninitialize();
  }
  // Selects an interface through a stored setting and Init.
  void Select(const wchar_t* channelCount) {
    StoreSetting(title, L"Selvane.out.dll", channelCount);
    ASSERT_HRESULT_SUCCEEDED(host.Init(title));
  }

  Host host;
  std::wstring title;
};

}  // namespace

TEST_F(FaultTest, MissingLibraryPausesOutputAndTheNextEnableRecovers) {
  Remove(L"DMX60.dll");
  ASSERT_FALSE(Loaded(L"DMX60.dll"));
  // ChannelCount 0 before any Init: DMX-60.
  ASSERT_HRESULT_SUCCEEDED(host.Enable());
  PumpFor(300);
  // The host is alive and its calls work while output is paused.
  EXPECT_EQ(host.Set(1, 33), S_OK);
  EXPECT_HRESULT_SUCCEEDED(host.Disable());
  EXPECT_HRESULT_SUCCEEDED(host.Enable());
  PumpFor(150);

  ASSERT_TRUE(Place(L"DMX60.dll", L"DMX60.dll"));
  PumpFor(200);
  EXPECT_FALSE(Loaded(L"DMX60.dll")) << "paused output makes no new attempt by itself";

  ASSERT_HRESULT_SUCCEEDED(host.Enable());
  ASSERT_TRUE(PumpUntil([] { return Loaded(L"DMX60.dll"); }, 2000)) << "Enable recovers";
  VendorDoubleClient dmx60(Folder().File(L"DMX60.dll").c_str());
  ASSERT_TRUE(dmx60.Loaded());
  EXPECT_TRUE(PumpUntil([&] { return dmx60.FrameCount() >= 2; }, 2000));
  EXPECT_EQ(dmx60.LastFrame()[0], 33) << "the level set while paused is sent";
}

TEST_F(FaultTest, LibraryWithoutItsEntryPointPausesAndIsReplacedWithoutRestart) {
  Select(L"120");
  Remove(L"DMX120.dll");
  ASSERT_TRUE(Place(L"NoEntry.dll", L"DMX120.dll"));
  ASSERT_HRESULT_SUCCEEDED(host.Enable());
  PumpFor(300);
  EXPECT_FALSE(Loaded(L"DMX120.dll")) << "a failed binding keeps nothing loaded";
  EXPECT_EQ(host.Set(2, 44), S_OK);

  // The file can be replaced because nothing holds it.
  ASSERT_TRUE(Remove(L"DMX120.dll"));
  ASSERT_TRUE(Place(L"DMX120.dll", L"DMX120.dll"));
  PumpFor(150);
  EXPECT_FALSE(Loaded(L"DMX120.dll"));
  ASSERT_HRESULT_SUCCEEDED(host.Enable());
  ASSERT_TRUE(PumpUntil([] { return Loaded(L"DMX120.dll"); }, 2000));
  VendorDoubleClient dmx120(Folder().File(L"DMX120.dll").c_str());
  ASSERT_TRUE(dmx120.Loaded());
  EXPECT_TRUE(PumpUntil([&] { return dmx120.FrameCount() >= 2; }, 2000));
  EXPECT_EQ(dmx120.LastFrame()[1], 44);
}

// Only the low 16 bits of a vendor result count: 0x10000 pauses after its
// frame; -1 and 0x8000 are nonzero there and keep output running.
TEST_F(FaultTest, OddVendorResultsPauseOnlyWhenTheirLowWordIsZero) {
  ASSERT_TRUE(Place(L"DMX60.dll", L"DMX60.dll"));
  ASSERT_TRUE(Place(L"DMX510.dll", L"DMX510.dll"));
  VendorDoubleClient dmx60(Folder().File(L"DMX60.dll").c_str());
  VendorDoubleClient dmx510(Folder().File(L"DMX510.dll").c_str());
  ASSERT_TRUE(dmx60.Loaded());
  ASSERT_TRUE(dmx510.Loaded());

  struct Case {
    int32_t result;
    bool pauses;
  };
  const Case cases[] = {{0x10000, true}, {-1, false}, {0x8000, false}, {0x10000, true}};
  // DMX-60 (before Init): the result of the last channel's call decides.
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "DMX-60 result 0x" << std::hex << c.result);
    dmx60.Reset();
    dmx60.SetResult(63, c.result);
    ASSERT_HRESULT_SUCCEEDED(host.Enable());
    PumpFor(400);
    if (c.pauses) {
      EXPECT_EQ(dmx60.FrameCount(), 1) << "one full frame, then paused";
      EXPECT_EQ(dmx60.CallCount(), 64);
    } else {
      EXPECT_GE(dmx60.FrameCount(), 3);
    }
  }
  // DMX-510USB: the single SetLevel result decides.
  ASSERT_HRESULT_SUCCEEDED(host.Init(title));  // nothing stored: DMX-510USB
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "DMX-510USB result 0x" << std::hex << c.result);
    dmx510.Reset();
    dmx510.SetResult(-1, c.result);
    ASSERT_HRESULT_SUCCEEDED(host.Enable());
    PumpFor(400);
    if (c.pauses) {
      EXPECT_EQ(dmx510.FrameCount(), 1);
    } else {
      EXPECT_GE(dmx510.FrameCount(), 3);
    }
  }
}

namespace {

// A host's own window, whose messages make host calls between the plug-in's ticks.
class HostWindow {
 public:
  explicit HostWindow(std::function<void()> onMessage) : onMessage_(std::move(onMessage)) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = &HostWindow::Proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"SelvaneFaultTestHost";
    RegisterClassW(&wc);
    hwnd_ = CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, this);
  }
  ~HostWindow() {
    if (hwnd_) DestroyWindow(hwnd_);
  }
  HWND Handle() const { return hwnd_; }

 private:
  static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM w, LPARAM l) {
    if (message == WM_NCCREATE)
      SetWindowLongPtrW(hwnd, GWLP_USERDATA,
                        reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(l)->lpCreateParams));
    auto* self = reinterpret_cast<HostWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (message == WM_APP && self) {
      self->onMessage_();
      return 0;
    }
    return DefWindowProcW(hwnd, message, w, l);
  }
  std::function<void()> onMessage_;
  HWND hwnd_ = nullptr;
};

struct Posting {
  HWND window;
  DWORD everyMs = 15;
  std::atomic<bool> on{true};
};

DWORD WINAPI PostPeriodically(LPVOID p) {
  auto* posting = static_cast<Posting*>(p);
  while (posting->on.load()) {
    PostMessageW(posting->window, WM_APP, 0, 0);
    Sleep(posting->everyMs);
  }
  return 0;
}

// A worker that closes the vendor's message boxes in this process once each
// has been up for a while, and counts how many were ever up at once.
struct MessageBoxCloser {
  std::atomic<bool> on{true};
  std::atomic<int> mostAtOnce{0};
  std::atomic<int> closed{0};

  static BOOL CALLBACK Collect(HWND hwnd, LPARAM param) {
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    wchar_t title[64] = {};
    GetWindowTextW(hwnd, title, 64);
    if (pid == GetCurrentProcessId() && std::wstring(title) == VENDOR_DOUBLE_MESSAGE_BOX_TITLE &&
        IsWindowVisible(hwnd))
      reinterpret_cast<std::vector<HWND>*>(param)->push_back(hwnd);
    return TRUE;
  }
  static DWORD WINAPI Run(LPVOID p) {
    auto* self = static_cast<MessageBoxCloser*>(p);
    std::vector<std::pair<HWND, ULONGLONG>> seen;
    while (self->on.load()) {
      std::vector<HWND> boxes;
      EnumWindows(&Collect, reinterpret_cast<LPARAM>(&boxes));
      if (static_cast<int>(boxes.size()) > self->mostAtOnce.load()) self->mostAtOnce = static_cast<int>(boxes.size());
      const ULONGLONG now = GetTickCount64();
      for (HWND box : boxes) {
        auto it = std::find_if(seen.begin(), seen.end(), [&](const auto& s) { return s.first == box; });
        if (it == seen.end()) {
          seen.emplace_back(box, now);
        } else if (now - it->second >= 250) {
          PostMessageW(box, WM_COMMAND, IDOK, 0);
          it->second = now + 100000;  // posted once
          ++self->closed;
        }
      }
      Sleep(20);
    }
    return 0;
  }
};

}  // namespace

// A vendor that takes 100 ms per call: ticks fall behind instead of queueing
// up, and the host's own calls still get through between them.
TEST_F(FaultTest, SlowVendorDelaysTicksWithoutQueueingAndHostCallsGetThrough) {
  ASSERT_TRUE(Place(L"DMX510.dll", L"DMX510.dll"));
  VendorDoubleClient dmx510(Folder().File(L"DMX510.dll").c_str());
  ASSERT_TRUE(dmx510.Loaded());
  ASSERT_HRESULT_SUCCEEDED(host.Init(title));  // DMX-510USB
  ASSERT_HRESULT_SUCCEEDED(host.Enable());
  ASSERT_TRUE(PumpUntil([&] { return dmx510.FrameCount() >= 1; }, 2000));

  // A worker posts "host events" to the host's window every 15 ms; each one
  // sets channel 1 to the next level through IDispatch.
  std::atomic<int> level{0};
  std::atomic<int> hostCalls{0};
  std::atomic<int> failedCalls{0};
  HostWindow window([&] {
    const int next = (level.load() + 1) % 250;
    if (host.Set(1, next) != S_OK) ++failedCalls;
    level = next;
    ++hostCalls;
  });
  ASSERT_NE(window.Handle(), nullptr);
  Posting posting{window.Handle()};
  HANDLE poster = CreateThread(nullptr, 0, &PostPeriodically, &posting, 0, nullptr);
  ASSERT_NE(poster, nullptr);

  dmx510.SetDelayMs(100);
  PumpEachMessageFor(50);  // the tick in progress ends
  const int framesBefore = dmx510.FrameCount();
  const int callsBefore = hostCalls.load();
  PumpEachMessageFor(1000);
  const int slowFrames = dmx510.FrameCount() - framesBefore;
  const int slowHostCalls = hostCalls.load() - callsBefore;
  const auto calls = dmx510.Calls();

  dmx510.SetDelayMs(0);
  PumpEachMessageFor(60);  // the last slow tick ends
  const int framesAfterSlow = dmx510.FrameCount();
  PumpEachMessageFor(450);
  const int normalFrames = dmx510.FrameCount() - framesAfterSlow;

  posting.on = false;
  WaitForSingleObject(poster, 5000);
  CloseHandle(poster);
  PumpEachMessageFor(50);  // host events the worker posted before it stopped

  std::printf("slow vendor: %d frames in 1 s (100 ms per call), %d host calls between them; "
              "then %d frames in 450 ms\n",
              slowFrames, slowHostCalls, normalFrames);
  EXPECT_GE(slowFrames, 3) << "output keeps going";
  EXPECT_LE(slowFrames, 11) << "at most one tick per vendor call, not 22 a second";
  EXPECT_LE(normalFrames, 12) << "no burst of queued ticks once the vendor is fast again";
  EXPECT_GE(normalFrames, 5);
  EXPECT_EQ(failedCalls.load(), 0);
  EXPECT_GE(slowHostCalls, slowFrames - 1) << "host calls are handled between the slow ticks";

  // Channel 1's level as each frame saw it: the host's changes arrive while
  // the vendor is slow, a new level in most frames.
  std::set<int> levelsSeen;
  for (size_t i = calls.size() > static_cast<size_t>(slowFrames) ? calls.size() - slowFrames : 0; i < calls.size();
       ++i)
    levelsSeen.insert(calls[i].levels[0]);
  EXPECT_GE(levelsSeen.size(), 3u) << "levels set during the slow run show in later frames";
  const int last = level.load();
  PumpUntil([&] { return dmx510.LastFrame()[0] == last; }, 1000);
  EXPECT_EQ(dmx510.LastFrame()[0], last);
}

// Maker's libraries that pump messages inside their call, or show a message
// box there: every 45 ms the timer would deliver a tick inside the call, which
// calls the library again. At most one tick per thread may be in progress.
TEST_F(FaultTest, VendorThatPumpsMessagesOrShowsAMessageBoxGetsOneTickAtATime) {
  ASSERT_TRUE(Place(L"DMX60.dll", L"DMX60.dll"));
  VendorDoubleClient dmx60(Folder().File(L"DMX60.dll").c_str());
  ASSERT_TRUE(dmx60.Loaded());

  dmx60.SetBehaviour(VENDOR_DOUBLE_PUMP_MESSAGES, 0, 200);
  ASSERT_HRESULT_SUCCEEDED(host.Enable());
  PumpFor(1500);
  ASSERT_HRESULT_SUCCEEDED(host.Disable());
  PumpFor(250);  // the tick in progress ends
  const auto pumping = dmx60.NestingSeen();
  EXPECT_EQ(pumping.maxDepth, 1) << "a tick ran inside the vendor's call";
  EXPECT_LT(pumping.stackSpan, 4096) << "the stack grew from call to call";
  EXPECT_GE(dmx60.FrameCount(), 3) << "output goes on while the vendor pumps";
  EXPECT_EQ(dmx60.CallCount(), 64 * dmx60.FrameCount()) << "every tick sends all 64 channels";

  dmx60.Reset();
  dmx60.SetBehaviour(VENDOR_DOUBLE_MESSAGE_BOX, 0);
  MessageBoxCloser closer;
  HANDLE closing = CreateThread(nullptr, 0, &MessageBoxCloser::Run, &closer, 0, nullptr);
  ASSERT_NE(closing, nullptr);
  ASSERT_HRESULT_SUCCEEDED(host.Enable());
  PumpFor(1500);
  ASSERT_HRESULT_SUCCEEDED(host.Disable());
  PumpFor(400);  // the last box is closed
  closer.on = false;
  WaitForSingleObject(closing, 5000);
  CloseHandle(closing);
  EXPECT_GE(closer.closed.load(), 2) << "boxes were shown and closed";
  EXPECT_EQ(closer.mostAtOnce.load(), 1) << "a cascade of message boxes";
  EXPECT_EQ(dmx60.NestingSeen().maxDepth, 1);
}

namespace {

int32_t CdeclCalls() {
  using Count = int32_t(__stdcall*)();
  HMODULE module = GetModuleHandleW(Folder().File(L"DMX120.dll").c_str());
  auto count = module ? reinterpret_cast<Count>(reinterpret_cast<void*>(GetProcAddress(module, "CdeclDouble_CallCount")))
                      : nullptr;
  return count ? count() : -1;
}

}  // namespace

// A library that faults inside its call (a null pointer) or was exported with
// the wrong calling convention: the host lives on with output paused, the
// library is not called again, and the next Enable tries it once more.
TEST_F(FaultTest, VendorThatFaultsPausesOutputAndTheNextEnableTriesAgain) {
  ASSERT_TRUE(Place(L"DMX60.dll", L"DMX60.dll"));
  VendorDoubleClient dmx60(Folder().File(L"DMX60.dll").c_str());
  ASSERT_TRUE(dmx60.Loaded());
  dmx60.SetBehaviour(VENDOR_DOUBLE_WRITE_NULL, 5);
  ASSERT_HRESULT_SUCCEEDED(host.Enable());
  PumpFor(400);
  EXPECT_EQ(dmx60.CallCount(), 6) << "the tick ends at the faulting call";
  EXPECT_EQ(host.Set(1, 77), S_OK) << "the host's calls still work";
  ASSERT_HRESULT_SUCCEEDED(host.Enable());
  PumpFor(400);
  EXPECT_EQ(dmx60.CallCount(), 12) << "Enable tries once more";
  dmx60.SetBehaviour(VENDOR_DOUBLE_BEHAVE_WELL);
  PumpFor(200);
  EXPECT_EQ(dmx60.CallCount(), 12) << "a faulted library waits for Enable";
  ASSERT_HRESULT_SUCCEEDED(host.Enable());
  EXPECT_TRUE(PumpUntil([&] { return dmx60.FrameCount() >= 4; }, 2000));
  EXPECT_EQ(dmx60.LastFrame()[0], 77);
  ASSERT_HRESULT_SUCCEEDED(host.Disable());

  Select(L"120");
  Remove(L"DMX120.dll");
  ASSERT_TRUE(Place(L"CdeclEntry.dll", L"DMX120.dll"));
  ASSERT_HRESULT_SUCCEEDED(host.Enable());
  PumpFor(400);
  EXPECT_EQ(CdeclCalls(), 1) << "the first call shows the wrong convention";
  EXPECT_EQ(host.Set(2, 88), S_OK);
  ASSERT_HRESULT_SUCCEEDED(host.Enable());
  PumpFor(400);
  EXPECT_EQ(CdeclCalls(), 2);
}

// A host that calls Enable with every cue, faster than the 45 ms period:
// the running timer is left alone, so frames keep their pace.
TEST_F(FaultTest, EnableEvery20msKeepsTheFramesGoing) {
  ASSERT_TRUE(Place(L"DMX60.dll", L"DMX60.dll"));
  VendorDoubleClient dmx60(Folder().File(L"DMX60.dll").c_str());
  ASSERT_TRUE(dmx60.Loaded());
  std::atomic<int> enables{0};
  HostWindow window([&] {
    if (SUCCEEDED(host.Enable())) ++enables;
  });
  ASSERT_NE(window.Handle(), nullptr);
  Posting posting{window.Handle(), 20};
  HANDLE poster = CreateThread(nullptr, 0, &PostPeriodically, &posting, 0, nullptr);
  ASSERT_NE(poster, nullptr);
  PumpEachMessageFor(1000);
  posting.on = false;
  WaitForSingleObject(poster, 5000);
  CloseHandle(poster);
  std::printf("Enable every 20 ms: %d Enables, %d frames in 1 s\n", enables.load(), dmx60.FrameCount());
  EXPECT_GE(enables.load(), 20);
  EXPECT_GE(dmx60.FrameCount(), 15) << "about 22 frames a second";
}

namespace {

// Output paused by a fault at channel index `faultsAt`: the tick ends there,
// the host's calls work, and each Enable tries the library once more.
void ExpectEachEnableEndsAtTheFault(Host& host, VendorDoubleClient& dmx60, int32_t callsPerTick) {
  ASSERT_HRESULT_SUCCEEDED(host.Enable());
  PumpFor(400);
  EXPECT_EQ(dmx60.CallCount(), callsPerTick) << "the tick ends at the fault";
  EXPECT_EQ(host.Set(1, 91), S_OK) << "the host's calls still work";
  ASSERT_HRESULT_SUCCEEDED(host.Enable());
  PumpFor(400);
  EXPECT_EQ(dmx60.CallCount(), 2 * callsPerTick) << "Enable tries once more, and the guard holds again";
  dmx60.SetBehaviour(VENDOR_DOUBLE_BEHAVE_WELL);
  ASSERT_HRESULT_SUCCEEDED(host.Enable());
  EXPECT_TRUE(PumpUntil([&] { return dmx60.FrameCount() >= 4; }, 2000)) << "a library that behaves again is sent to";
  EXPECT_EQ(dmx60.LastFrame()[0], 91);
  ASSERT_HRESULT_SUCCEEDED(host.Disable());
}

}  // namespace

// A leftover int3 or a trap flag left set: nobody else handles them when no
// debugger is attached, so they are faults of the library.
TEST_F(FaultTest, BreakpointOrSingleStepTrapInTheLibraryPausesOutput) {
  ASSERT_TRUE(Place(L"DMX60.dll", L"DMX60.dll"));
  VendorDoubleClient dmx60(Folder().File(L"DMX60.dll").c_str());
  ASSERT_TRUE(dmx60.Loaded());
  ASSERT_FALSE(IsDebuggerPresent());
  for (int32_t behaviour : {VENDOR_DOUBLE_BREAKPOINT, VENDOR_DOUBLE_TRAP_FLAG}) {
    SCOPED_TRACE(behaviour == VENDOR_DOUBLE_BREAKPOINT ? "int3" : "trap flag");
    dmx60.Reset();
    dmx60.SetBehaviour(behaviour, 5);
    ExpectEachEnableEndsAtTheFault(host, dmx60, 6);
  }
}

// A library that runs out of stack, on two calls in a row: the second
// overflow needs the stack's guard page back.
TEST_F(FaultTest, StackOverflowInTheLibraryTwiceInARowLeavesTheHostAlive) {
  ASSERT_TRUE(Place(L"DMX60.dll", L"DMX60.dll"));
  VendorDoubleClient dmx60(Folder().File(L"DMX60.dll").c_str());
  ASSERT_TRUE(dmx60.Loaded());
  dmx60.SetBehaviour(VENDOR_DOUBLE_STACK_OVERFLOW, 5);
  ExpectEachEnableEndsAtTheFault(host, dmx60, 6);
}

// A library that returns with FS:[0] set to garbage, or with its own record
// still linked, and faults in its next call.
TEST_F(FaultTest, ExceptionChainLeftBrokenByTheLibraryIsPutBack) {
  ASSERT_TRUE(Place(L"DMX60.dll", L"DMX60.dll"));
  VendorDoubleClient dmx60(Folder().File(L"DMX60.dll").c_str());
  ASSERT_TRUE(dmx60.Loaded());
  for (int32_t behaviour : {VENDOR_DOUBLE_CHAIN_GARBAGE, VENDOR_DOUBLE_CHAIN_LEFT_RECORD}) {
    SCOPED_TRACE(behaviour == VENDOR_DOUBLE_CHAIN_GARBAGE ? "garbage" : "record left behind");
    dmx60.Reset();
    dmx60.SetBehaviour(behaviour, 3);
    ExpectEachEnableEndsAtTheFault(host, dmx60, 5);
  }
}

// A library that sets the x87 control word to Delphi's 0x1372, unmasks the
// SSE exceptions and leaves values on the x87 stack inside its call; and one
// that only leaves values there, the control words as they were.
TEST_F(FaultTest, FloatingPointStateOfTheHostOutlastsTheTick) {
  ASSERT_TRUE(Place(L"DMX60.dll", L"DMX60.dll"));
  VendorDoubleClient dmx60(Folder().File(L"DMX60.dll").c_str());
  ASSERT_TRUE(dmx60.Loaded());
  for (const int32_t behaviour : {VENDOR_DOUBLE_FP_STATE, VENDOR_DOUBLE_FP_STACK_LEFT}) {
    SCOPED_TRACE(behaviour);
    dmx60.Reset();
    dmx60.SetBehaviour(behaviour, 63);
    const FpState before = ReadFpState();
    ASSERT_EQ(before.x87Tags, 0xFFFF);
    ASSERT_HRESULT_SUCCEEDED(host.Enable());
    ASSERT_TRUE(PumpUntil([&] { return dmx60.CallCount() >= 64; }, 2000));
    ASSERT_HRESULT_SUCCEEDED(host.Disable());
    const FpState after = ReadFpState();
    EXPECT_EQ(after.x87Control, before.x87Control) << std::hex << after.x87Control;
    EXPECT_EQ(after.mxcsr, before.mxcsr) << std::hex << after.mxcsr;
    EXPECT_EQ(after.x87Tags, 0xFFFF) << "values left on the x87 stack: " << std::hex << after.x87Tags;
    EXPECT_GE(dmx60.FrameCount(), 1);
  }
}

// A DMX510.dll that writes a whole 512-slot universe at the address it gets:
// the two slots past the levels must not reach the stored interface type.
TEST_F(FaultTest, SetLevelThatWritesAWholeUniverseLeavesTheInterfaceTypeAlone) {
  ASSERT_TRUE(Place(L"DMX510.dll", L"DMX510.dll"));
  VendorDoubleClient dmx510(Folder().File(L"DMX510.dll").c_str());
  ASSERT_TRUE(dmx510.Loaded());
  Select(L"510");
  ASSERT_EQ(host.Set(509, 9), S_OK);
  dmx510.SetBehaviour(VENDOR_DOUBLE_WRITE_UNIVERSE);
  ASSERT_HRESULT_SUCCEEDED(host.Enable());
  EXPECT_TRUE(PumpUntil([&] { return dmx510.FrameCount() >= 3; }, 2000)) << "DMX-510USB stays selected";
  ASSERT_HRESULT_SUCCEEDED(host.Disable());
  const auto calls = dmx510.Calls();
  ASSERT_FALSE(calls.empty());
  EXPECT_EQ(calls.back().address, calls.front().address);
  EXPECT_EQ(calls.back().count, 509);
  EXPECT_EQ(dmx510.LastFrame()[508], 9);
  ASSERT_HRESULT_SUCCEEDED(host.Term());
  EXPECT_EQ(ReadSetting(title, L"Selvane.out.dll"), L"510");
}
