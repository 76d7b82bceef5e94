// One source for the three vendor doubles. VENDOR_DOUBLE_LIBRARY is the row of
// the vendor contract it stands in for: the SetLevel form for DMX510.dll,
// otherwise OutDMX with that library's channels.
#include <windows.h>

#include <cstring>
#include <vector>

#include "hostile_behaviour.h"
#include "vendor_contract.h"
#include "vendor_double_api.h"
#include "virtual_view.h"

namespace {

using selvane::vendor::Result;
constexpr selvane::vendor::Library kLibrary = selvane::vendor::kVendorLibraries[VENDOR_DOUBLE_LIBRARY];
constexpr int kChannels = kLibrary.channels;

constexpr int32_t kMaxLoggedCalls = 1 << 18;

struct DoubleState {
  CRITICAL_SECTION lock;
  std::vector<VendorDoubleCall> log;
  int32_t results[512];
  int32_t defaultResult = 1;
  int32_t zeroAfterFrames = -1;
  int32_t delayMs = 0;
  bool logging = true;
  int32_t calls = 0;
  int32_t frames = 0;
  double ticksPerMs = 0;
  uint8_t lastFrame[510] = {};  // the levels most recently received, by channel index
  // Misbehaviour of a real maker's library, at one channel index (or SetLevel).
  int32_t behaviour = VENDOR_DOUBLE_BEHAVE_WELL;
  int32_t behaviourIndex = 0;
  int32_t behaviourMs = 0;
  // Calls in progress on any thread, the most seen at once, and the range of
  // stack pointers that calls started with.
  int32_t depth = 0;
  int32_t maxDepth = 0;
  uintptr_t lowestStack = UINTPTR_MAX;
  uintptr_t highestStack = 0;
};

DoubleState* g = nullptr;

double NowMs() {
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return static_cast<double>(now.QuadPart) / g->ticksPerMs;
}

void ResetLocked() {
  g->behaviour = VENDOR_DOUBLE_BEHAVE_WELL;
  g->depth = g->maxDepth = 0;
  g->lowestStack = UINTPTR_MAX;
  g->highestStack = 0;
  g->log.clear();
  for (auto& r : g->results) r = INT32_MIN;  // "use the default"
  g->defaultResult = 1;
  g->zeroAfterFrames = -1;
  g->delayMs = 0;
  g->logging = true;
  g->calls = 0;
  g->frames = 0;
  std::memset(g->lastFrame, 0, sizeof g->lastFrame);
}

int32_t ResultFor(int32_t index) {
  if (g->zeroAfterFrames >= 0 && g->frames > g->zeroAfterFrames) return 0;
  if (index >= 0 && index < 512 && g->results[index] != INT32_MIN) return g->results[index];
  return g->defaultResult;
}

// What a maker's library may do inside its call: keep the interface's
// window alive by pumping messages, tell the user with a message box, fault,
// or do what hostile libraries do (hostile_behaviour.h).
void Misbehave(int32_t behaviour, int32_t ms, uint8_t* setLevelBuffer = nullptr) {
  switch (behaviour) {
    case VENDOR_DOUBLE_PUMP_MESSAGES: {
      const ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(ms);
      while (GetTickCount64() < end) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
          TranslateMessage(&msg);
          DispatchMessageW(&msg);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
      }
      break;
    }
    case VENDOR_DOUBLE_MESSAGE_BOX:
      MessageBoxW(nullptr, L"Interface nicht gefunden", VENDOR_DOUBLE_MESSAGE_BOX_TITLE, MB_OK);
      break;
    case VENDOR_DOUBLE_WRITE_NULL:
      *static_cast<volatile int32_t*>(nullptr) = 1;
      break;
    default:
      Hostile(behaviour, true, setLevelBuffer);
      break;
  }
}

struct CallDepth {
  explicit CallDepth(uintptr_t stack) {
    EnterCriticalSection(&g->lock);
    if (++g->depth > g->maxDepth) g->maxDepth = g->depth;
    if (stack < g->lowestStack) g->lowestStack = stack;
    if (stack > g->highestStack) g->highestStack = stack;
    behaviour = g->behaviour;
    index = g->behaviourIndex;
    ms = g->behaviourMs;
    LeaveCriticalSection(&g->lock);
  }
  ~CallDepth() {
    EnterCriticalSection(&g->lock);
    --g->depth;
    LeaveCriticalSection(&g->lock);
  }
  int32_t behaviour, index, ms;
};

// `frameChannels`: nonzero when this call completes a frame of that many channels.
int32_t Record(VendorDoubleCall call, bool startsFrame, int frameChannels) {
  EnterCriticalSection(&g->lock);
  if (startsFrame) ++g->frames;
  ++g->calls;
  call.result = ResultFor(call.index);
  const int32_t delay = g->delayMs;
  if (call.index >= 0 && call.index < 510) g->lastFrame[call.index] = static_cast<uint8_t>(call.level);
  if (g->logging && g->log.size() < static_cast<size_t>(kMaxLoggedCalls)) g->log.push_back(call);
  if (frameChannels > 0) VirtualViewFrame(call.timeMs, g->lastFrame, frameChannels, g->frames);
  LeaveCriticalSection(&g->lock);
  if (delay > 0) Sleep(static_cast<DWORD>(delay));
  return call.result;
}

}  // namespace

extern "C" {

#if VENDOR_DOUBLE_LIBRARY == 2  // DMX510.dll
Result __stdcall SetLevel(const uint8_t* buffer, int32_t count) {
  CallDepth depth(reinterpret_cast<uintptr_t>(__builtin_frame_address(0)));
  VendorDoubleCall call{};
  call.threadId = GetCurrentThreadId();
  call.index = -1;
  call.level = -1;
  call.address = reinterpret_cast<uintptr_t>(buffer);
  call.count = count;
  // The clock is what makes a logged call costly; the benchmark turns logging off.
  if (g->logging || VirtualViewActive()) call.timeMs = NowMs();
  if (buffer) {
    std::memcpy(call.levels, buffer, sizeof call.levels);
    for (int i = 0; i < 510; ++i) call.levelSum += buffer[i];
    EnterCriticalSection(&g->lock);
    std::memcpy(g->lastFrame, buffer, sizeof g->lastFrame);
    LeaveCriticalSection(&g->lock);
  }
  const int32_t result = Record(call, true, count < 0 ? 0 : (count > 510 ? 510 : count));
  Misbehave(depth.behaviour, depth.ms, const_cast<uint8_t*>(buffer));
  return static_cast<Result>(result);
}
#else
Result __stdcall OutDMX(uint8_t index, uint8_t level) {
  CallDepth depth(reinterpret_cast<uintptr_t>(__builtin_frame_address(0)));
  VendorDoubleCall call{};
  call.threadId = GetCurrentThreadId();
  call.index = index;
  call.level = level;
  // The clock is what makes a logged call costly; the benchmark turns logging off.
  if (g->logging || VirtualViewActive()) call.timeMs = NowMs();
  const int32_t result = Record(call, index == 0, index == kChannels - 1 ? kChannels : 0);
  if (depth.index == index) Misbehave(depth.behaviour, depth.ms);
  else if (depth.index + 1 == index) Hostile(depth.behaviour, false, nullptr);
  return static_cast<Result>(result);
}
#endif

void __stdcall VendorDouble_SetBehaviour(int32_t behaviour, int32_t index, int32_t milliseconds) {
  EnterCriticalSection(&g->lock);
  g->behaviour = behaviour;
  g->behaviourIndex = index;
  g->behaviourMs = milliseconds;
  LeaveCriticalSection(&g->lock);
}

void __stdcall VendorDouble_Nesting(int32_t* maxDepth, int32_t* stackSpan) {
  EnterCriticalSection(&g->lock);
  *maxDepth = g->maxDepth;
  *stackSpan = g->highestStack >= g->lowestStack ? static_cast<int32_t>(g->highestStack - g->lowestStack) : 0;
  LeaveCriticalSection(&g->lock);
}

void __stdcall VendorDouble_Reset() {
  EnterCriticalSection(&g->lock);
  ResetLocked();
  LeaveCriticalSection(&g->lock);
}

void __stdcall VendorDouble_SetResult(int32_t index, int32_t result) {
  EnterCriticalSection(&g->lock);
  if (index < 0) g->defaultResult = result;
  else if (index < 512) g->results[index] = result;
  LeaveCriticalSection(&g->lock);
}

void __stdcall VendorDouble_SetZeroAfterFrames(int32_t frames) {
  EnterCriticalSection(&g->lock);
  g->zeroAfterFrames = frames;
  LeaveCriticalSection(&g->lock);
}

void __stdcall VendorDouble_SetDelayMs(int32_t milliseconds) {
  EnterCriticalSection(&g->lock);
  g->delayMs = milliseconds;
  LeaveCriticalSection(&g->lock);
}

void __stdcall VendorDouble_SetLogging(int32_t enabled) {
  EnterCriticalSection(&g->lock);
  g->logging = enabled != 0;
  LeaveCriticalSection(&g->lock);
}

int32_t __stdcall VendorDouble_CallCount() {
  EnterCriticalSection(&g->lock);
  const int32_t n = g->calls;
  LeaveCriticalSection(&g->lock);
  return n;
}

int32_t __stdcall VendorDouble_FrameCount() {
  EnterCriticalSection(&g->lock);
  const int32_t n = g->frames;
  LeaveCriticalSection(&g->lock);
  return n;
}

int32_t __stdcall VendorDouble_GetCall(int32_t n, VendorDoubleCall* call) {
  EnterCriticalSection(&g->lock);
  const bool have = n >= 0 && static_cast<size_t>(n) < g->log.size() && call;
  if (have) *call = g->log[static_cast<size_t>(n)];
  LeaveCriticalSection(&g->lock);
  return have ? 1 : 0;
}

void __stdcall VendorDouble_LastFrame(uint8_t* levels510) {
  EnterCriticalSection(&g->lock);
  if (levels510) std::memcpy(levels510, g->lastFrame, sizeof g->lastFrame);
  LeaveCriticalSection(&g->lock);
}

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved) {
  if (reason == DLL_PROCESS_ATTACH) {
#ifdef VENDOR_DOUBLE_FP_AT_LOAD
    ClobberFloatingPointState();
#endif
    g = new DoubleState();
    InitializeCriticalSection(&g->lock);
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    g->ticksPerMs = static_cast<double>(frequency.QuadPart) / 1000.0;
    g->log.reserve(4096);
    ResetLocked();
    VirtualViewStart(VENDOR_DOUBLE_NAME);
    g->zeroAfterFrames = VirtualViewZeroAfter();
  } else if (reason == DLL_PROCESS_DETACH) {
    VirtualViewStop();
    if (reserved != nullptr) return TRUE;  // process exit: the system frees the rest
    DeleteCriticalSection(&g->lock);
    delete g;
    g = nullptr;
  }
  return TRUE;
}

}  // extern "C"
