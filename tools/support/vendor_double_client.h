#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "vendor_double_api.h"

// Reads and scripts one of the vendor doubles loaded in this process.
class VendorDoubleClient {
 public:
  // Loads the double by file name from the test program's folder (the same
  // module the plug-in binds to) or, with a full path, from there.
  explicit VendorDoubleClient(const wchar_t* fileOrPath) {
    module_ = LoadLibraryExW(fileOrPath, nullptr, LOAD_LIBRARY_SEARCH_DEFAULT_DIRS);
    if (!module_) module_ = LoadLibraryW(fileOrPath);
    if (!module_) return;
    Bind(reset_, "VendorDouble_Reset");
    Bind(setResult_, "VendorDouble_SetResult");
    Bind(delay_, "VendorDouble_SetDelayMs");
    Bind(logging_, "VendorDouble_SetLogging");
    Bind(callCount_, "VendorDouble_CallCount");
    Bind(frameCount_, "VendorDouble_FrameCount");
    Bind(getCall_, "VendorDouble_GetCall");
    Bind(lastFrame_, "VendorDouble_LastFrame");
    Bind(behaviour_, "VendorDouble_SetBehaviour");
    Bind(nesting_, "VendorDouble_Nesting");
  }
  ~VendorDoubleClient() {
    if (module_) FreeLibrary(module_);
  }
  VendorDoubleClient(const VendorDoubleClient&) = delete;
  VendorDoubleClient& operator=(const VendorDoubleClient&) = delete;

  // The doubles' clock, which stamps every call: QueryPerformanceCounter in ms.
  static double NowMs() {
    LARGE_INTEGER frequency, now;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) / (static_cast<double>(frequency.QuadPart) / 1000.0);
  }

  bool Loaded() const { return module_ && getCall_; }
  void Reset() { reset_(); }
  void SetResult(int32_t index, int32_t result) { setResult_(index, result); }
  void SetDelayMs(int32_t ms) { delay_(ms); }
  void SetLogging(bool on) { logging_(on ? 1 : 0); }
  int32_t CallCount() { return callCount_(); }
  void SetBehaviour(int32_t behaviour, int32_t index = 0, int32_t ms = 0) { behaviour_(behaviour, index, ms); }
  struct Nesting {
    int32_t maxDepth;
    int32_t stackSpan;
  };
  Nesting NestingSeen() {
    Nesting n{};
    nesting_(&n.maxDepth, &n.stackSpan);
    return n;
  }
  int32_t FrameCount() { return frameCount_(); }
  std::vector<uint8_t> LastFrame() {
    std::vector<uint8_t> levels(510);
    lastFrame_(levels.data());
    return levels;
  }
  std::vector<VendorDoubleCall> Calls() {
    std::vector<VendorDoubleCall> calls;
    VendorDoubleCall call;
    for (int32_t n = 0; getCall_(n, &call); ++n) calls.push_back(call);
    return calls;
  }

 private:
  template <typename F>
  void Bind(F& f, const char* name) {
    f = reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module_, name)));
  }

  HMODULE module_ = nullptr;
  VendorDouble_Reset_t reset_ = nullptr;
  VendorDouble_SetResult_t setResult_ = nullptr;
  VendorDouble_SetDelayMs_t delay_ = nullptr;
  VendorDouble_SetLogging_t logging_ = nullptr;
  VendorDouble_CallCount_t callCount_ = nullptr;
  VendorDouble_FrameCount_t frameCount_ = nullptr;
  VendorDouble_GetCall_t getCall_ = nullptr;
  VendorDouble_LastFrame_t lastFrame_ = nullptr;
  VendorDouble_SetBehaviour_t behaviour_ = nullptr;
  VendorDouble_Nesting_t nesting_ = nullptr;
};

// Frame start times (ms) of per-channel calls: a frame starts at index 0.
inline std::vector<double> FrameTimes(const std::vector<VendorDoubleCall>& calls) {
  std::vector<double> times;
  for (const auto& c : calls)
    if (c.index == 0 || c.index == -1) times.push_back(c.timeMs);
  return times;
}
