// selvane-host: a small command-line lighting host. It creates the plug-in
// late-bound by ProgID, calls every method by name through IDispatch, runs its
// own message loop so that the plug-in's ticks arrive, and summarises what the
// (virtual) interface received.
#include <windows.h>
#include <oleauto.h>
#include <wrl/client.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "frame_summary.h"
#include "host_options.h"
#include "message_pump.h"
#include "network_status_view.h"
#include "scene.h"
#include "selvane_version.h"
#include "variant_builders.h"

using Microsoft::WRL::ComPtr;
using namespace selvane::host;

namespace {

constexpr int kExitUsage = 2;
constexpr int kExitPlugin = 3;
constexpr int kExitOutput = 4;

std::wstring Wide(const std::string& s) {
  if (s.empty()) return {};
  const int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
  std::wstring w(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), w.data(), n);
  return w;
}

std::string Utf8(const wchar_t* w) {
  if (!w || !*w) return {};
  const int n = WideCharToMultiByte(CP_UTF8, 0, w, -1, nullptr, 0, nullptr, nullptr);
  std::string s(static_cast<size_t>(n > 0 ? n - 1 : 0), '\0');
  WideCharToMultiByte(CP_UTF8, 0, w, -1, s.data(), n, nullptr, nullptr);
  return s;
}

double NowMs() {
  static const LARGE_INTEGER frequency = [] { LARGE_INTEGER f; QueryPerformanceFrequency(&f); return f; }();
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return static_cast<double>(now.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

// Runs the message loop, so that the plug-in's ticks arrive, until `deadlineMs`
// (at least once, even when that has passed).
void PumpUntil(double deadlineMs) {
  const double now = NowMs();
  PumpFor(now < deadlineMs ? static_cast<DWORD>(deadlineMs - now) + 1 : 0);
}

// One late-bound call and how it went.
struct CallResult {
  HRESULT hr = E_FAIL;
  VARIANT value;
  std::string error;
  CallResult() { VariantInit(&value); }
  ~CallResult() { VariantClear(&value); }
  bool Failed() const { return FAILED(hr); }
  std::string Text() const {
    if (Failed()) return error;
    if (V_VT(&value) == VT_BOOL) return V_BOOL(&value) ? "True" : "False";
    if (V_VT(&value) == VT_BSTR) return "\"" + Utf8(V_BSTR(&value)) + "\"";
    return "(no result)";
  }
};

std::wstring ReadDefault(const std::wstring& key) {
  wchar_t text[1024] = {};
  DWORD size = sizeof text - sizeof(wchar_t);
  if (RegGetValueW(HKEY_CURRENT_USER, key.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, text, &size) != ERROR_SUCCESS)
    return {};
  return text;
}

// Windows merges the user's own classes (HKCU\Software\Classes) into HKCR, so
// a per-user registration is found like a machine-wide one. Wine's COM looks
// only at the machine's classes; for a per-user registration this host then
// does the lookup itself and creates the object from the registered DLL.
HRESULT CreatePerUser(const std::string& progId, ComPtr<IDispatch>& object, bool& found) {
  found = false;
  const std::wstring clsidText = ReadDefault(L"Software\\Classes\\" + Wide(progId) + L"\\CLSID");
  CLSID clsid;
  if (clsidText.empty() || FAILED(CLSIDFromString(clsidText.c_str(), &clsid))) return REGDB_E_CLASSNOTREG;
  const std::wstring dll = ReadDefault(L"Software\\Classes\\CLSID\\" + clsidText + L"\\InprocServer32");
  if (dll.empty()) return REGDB_E_CLASSNOTREG;
  found = true;
  HMODULE module = LoadLibraryExW(dll.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);  // kept loaded
  if (!module) return HRESULT_FROM_WIN32(GetLastError());
  using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
  auto get = reinterpret_cast<GetClassObject>(reinterpret_cast<void*>(GetProcAddress(module, "DllGetClassObject")));
  if (!get) return HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);
  ComPtr<IClassFactory> factory;
  HRESULT hr = get(clsid, IID_IClassFactory, &factory);
  if (SUCCEEDED(hr)) hr = factory->CreateInstance(nullptr, IID_IDispatch, &object);
  return hr;
}

class Plugin {
 public:
  HRESULT Create(const std::string& progId, std::string& error) {
    CLSID clsid;
    HRESULT hr = CLSIDFromProgID(Wide(progId).c_str(), &clsid);
    if (FAILED(hr)) {
      bool perUser = false;
      const HRESULT userHr = CreatePerUser(progId, object_, perUser);
      if (perUser) {
        if (FAILED(userHr)) {
          char text[160];
          std::snprintf(text, sizeof text, "cannot create the per-user registered %s (0x%08lX)", progId.c_str(),
                        static_cast<unsigned long>(userHr));
          error = text;
          return userHr;
        }
        std::printf("  (registered for this user only)\n");
        return ResolveNames(error);
      }
      char text[200];
      std::snprintf(text, sizeof text,
                    "%s is not registered (0x%08lX). Register the plug-in first: regsvr32 Selvane.out.dll "
                    "(or per user: regsvr32 /n /i:user Selvane.out.dll)",
                    progId.c_str(), static_cast<unsigned long>(hr));
      error = text;
      return hr;
    }
    hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, &object_);
    if (FAILED(hr)) {
      char text[160];
      std::snprintf(text, sizeof text, "cannot create %s (0x%08lX): is the registered DLL there?",
                    progId.c_str(), static_cast<unsigned long>(hr));
      error = text;
      return hr;
    }
    return ResolveNames(error);
  }

  HRESULT ResolveNames(std::string& error) {
    HRESULT hr = S_OK;
    for (const wchar_t* name : {L"Disable", L"Enable", L"PluginName", L"SetChannel", L"Configure", L"Init", L"Term"}) {
      DISPID id = DISPID_UNKNOWN;
      LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
      hr = object_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
      if (FAILED(hr)) {
        error = "the plug-in has no method " + Utf8(name);
        return hr;
      }
      ids_.push_back(id);
    }
    return S_OK;
  }

  // args in source order.
  void Call(const wchar_t* name, std::vector<VARIANT> args, CallResult& out) {
    static const wchar_t* const kNames[] = {L"Disable", L"Enable", L"PluginName", L"SetChannel",
                                            L"Configure", L"Init", L"Term"};
    DISPID id = DISPID_UNKNOWN;
    for (size_t i = 0; i < ids_.size(); ++i)
      if (wcscmp(kNames[i], name) == 0) id = ids_[i];
    std::vector<VARIANT> reversed(args.rbegin(), args.rend());
    DISPPARAMS params{reversed.empty() ? nullptr : reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
    EXCEPINFO exception{};
    out.hr = object_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, &out.value,
                             &exception, nullptr);
    if (out.Failed()) {
      const HRESULT code = out.hr == DISP_E_EXCEPTION ? exception.scode : out.hr;
      char text[64];
      if ((static_cast<unsigned long>(code) & 0xFFFF0000ul) == 0x800A0000ul)
        std::snprintf(text, sizeof text, "error %lu", static_cast<unsigned long>(code) & 0xFFFF);
      else
        std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(code));
      out.error = text;
      if (exception.bstrDescription) out.error += std::string(": ") + Utf8(exception.bstrDescription);
    }
    ClearExcepInfo(exception);
  }

  void Release() { object_.Reset(); }

 private:
  ComPtr<IDispatch> object_;
  std::vector<DISPID> ids_;
};

void StoreSelector(const HostOptions& o) {
  const std::wstring key = L"Software\\VB and VBA Program Settings\\" + Wide(o.title) + L"\\Plugins\\" + Wide(o.fileName);
  const std::wstring text = std::to_wstring(*o.interfaceSelector);
  RegSetKeyValueW(HKEY_CURRENT_USER, key.c_str(), L"ChannelCount", REG_SZ, text.c_str(),
                  static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

const char* InterfaceName(int32_t selector) {
  return selector == 120 ? "DMX-120" : selector == 510 ? "DMX-510USB" : "DMX-60";
}

// Which vendor library the plug-in loaded, and whether it is one of our virtual interfaces.
std::string LoadedInterface(bool& isVirtual) {
  for (const wchar_t* dll : {L"DMX510.dll", L"DMX120.dll", L"DMX60.dll"}) {
    if (HMODULE m = GetModuleHandleW(dll)) {
      isVirtual = GetProcAddress(m, "VendorDouble_FrameCount") != nullptr;
      return Utf8(dll);
    }
  }
  isVirtual = false;
  return {};
}

int Fail(int code, const std::string& message) {
  std::fprintf(stderr, "selvane-host: %s\n", message.c_str());
  return code;
}

int Run(const HostOptions& o) {
  std::string framesFile = o.framesFile;
  if (framesFile.empty()) {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    framesFile = Utf8(temp) + "selvane-frames-" + std::to_string(GetCurrentProcessId()) + ".txt";
  }
  DeleteFileW(Wide(framesFile).c_str());
  // The virtual interfaces read these when the plug-in loads them.
  SetEnvironmentVariableW(L"SELVANE_VIRTUAL_FRAMES", Wide(framesFile).c_str());
  SetEnvironmentVariableW(L"SELVANE_VIRTUAL_VIEW", o.liveView ? L"1" : nullptr);
  SetEnvironmentVariableW(L"SELVANE_VIRTUAL_ZERO_AFTER",
                          o.zeroAfterFrames ? std::to_wstring(*o.zeroAfterFrames).c_str() : nullptr);

  std::printf("plug-in %s\n", o.progId.c_str());
  Plugin plugin;
  std::string error;
  if (FAILED(plugin.Create(o.progId, error))) return Fail(kExitPlugin, error);

  auto step = [&](const char* label, const wchar_t* name, std::vector<VARIANT> args, bool mustSucceed) {
    CallResult r;
    plugin.Call(name, std::move(args), r);
    std::printf("  %-28s -> %s\n", label, r.Text().c_str());
    return !(mustSucceed && r.Failed());
  };

  if (!step("PluginName", L"PluginName", {}, true)) return Fail(kExitPlugin, "PluginName failed");
  if (o.interfaceSelector) {
    StoreSelector(o);
    std::printf("  stored interface %s for \"%s\"\n", InterfaceName(*o.interfaceSelector), o.title.c_str());
  }
  BSTR title = SysAllocString(Wide(o.title).c_str());
  BSTR file = SysAllocString(Wide(o.fileName).c_str());
  const std::string initLabel = "Init(\"" + o.title + "\", \"" + o.fileName + "\")";
  const bool initOk = step(initLabel.c_str(), L"Init", {Bstr(title), Bstr(file)}, true);
  SysFreeString(title);
  SysFreeString(file);
  if (!initOk) return Fail(kExitPlugin, "Init failed: the stored setting could not be read");
  if (o.configure && !step("Configure", L"Configure", {}, true)) return Fail(kExitPlugin, "Configure failed");

  // The scene's first frame goes in before output starts.
  long calls = 0, stored = 0, errors = 0;
  std::string firstError;
  auto sendFrame = [&](int64_t frame) {
    const std::vector<int32_t> levels =
        o.scene == SceneKind::Static ? std::vector<int32_t>{} : SceneLevels(o, frame);
    auto send = [&](int32_t channel, int32_t value) {
      CallResult r;
      plugin.Call(L"SetChannel", {I4(channel), I4(value)}, r);
      ++calls;
      if (r.Failed()) {
        if (errors++ == 0)
          firstError = "SetChannel(" + std::to_string(channel) + ", " + std::to_string(value) + "): " + r.error;
      } else if (V_BOOL(&r.value)) {
        ++stored;
      }
    };
    if (o.scene == SceneKind::Static) {
      for (const auto& [channel, value] : o.staticLevels) send(channel, value);
    } else {
      for (size_t i = 0; i < levels.size(); ++i) send(static_cast<int32_t>(i + 1), levels[i]);
    }
  };
  sendFrame(0);
  if (errors) std::printf("  %-28s -> %s\n", "SetChannel", firstError.c_str());
  if (!step("Enable", L"Enable", {}, true)) return Fail(kExitPlugin, "Enable failed");

  const double start = NowMs();
  const double end = start + o.seconds * 1000.0;
  const double frameMs = 1000.0 / o.fps;
  int64_t hostFrames = 1;
  // Static scenes are sent once; moving ones every host frame.
  while (NowMs() < end) {
    PumpUntil(std::min(end, start + hostFrames * frameMs));
    if (o.scene != SceneKind::Static && NowMs() < end) sendFrame(hostFrames);
    ++hostFrames;
  }
  const double stoppedAt = NowMs();
  step("Disable", L"Disable", {}, false);
  const bool termOk = step("Term", L"Term", {}, false);
  plugin.Release();

  bool isVirtual = false;
  const std::string dll = LoadedInterface(isVirtual);
  std::ifstream in(Wide(framesFile).c_str());
  std::stringstream text;
  text << in.rdbuf();
  in.close();
  if (o.framesFile.empty()) DeleteFileW(Wide(framesFile).c_str());
  const FrameSummary frames = SummariseFrames(text.str());

  std::printf("\nSummary\n");
  std::printf("  run                 %.1f s, %lld host frames at %d per second\n", (stoppedAt - start) / 1000.0,
              static_cast<long long>(hostFrames), o.fps);
  std::printf("  SetChannel          %ld calls, %ld stored, %ld ignored, %ld errors\n", calls, stored,
              calls - stored - errors, errors);
  if (errors) std::printf("  first error         %s\n", firstError.c_str());
  const NetworkStatusView network = isVirtual ? NetworkStatusView{} : ShowNetworkStatus(Wide(dll));
  if (dll.empty()) {
    std::printf("  interface           none loaded\n");
  } else if (network.present) {
    if (!network.usable)
      return Fail(kExitOutput, "the network library cannot send: " + network.problem);
  } else if (!isVirtual) {
    std::printf("  interface           %s (the maker's library: frames are not observable)\n", dll.c_str());
  } else {
    std::printf("  interface           %s (virtual): %d frames, %.1f frames per second\n", dll.c_str(),
                frames.frames, frames.framesPerSecond);
    std::printf("  longest gap         %.1f ms\n", frames.longestGapMs);
    std::printf("  last levels ch1-16  %s\n", LevelsText(frames.lastLevels, 16).c_str());
    std::printf("  lit in last frame   %s\n", LitChannelsText(frames.lastLevels, 8).c_str());
  }
  if (dll.empty() || (isVirtual && OutputStalled(frames, stoppedAt, 500))) {
    if (dll.empty())
      return Fail(kExitOutput,
                  "no interface library could be loaded: output is paused. Put DMX60.dll, DMX120.dll or "
                  "DMX510.dll beside Selvane.out.dll or beside the host, then Enable again.");
    return Fail(kExitOutput, "the interface stopped taking frames after frame " + std::to_string(frames.frames) +
                                 ": it answered 0, so output is paused until the next Enable.");
  }
  if (!termOk) return Fail(kExitPlugin, "Term could not save the setting");
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.push_back(Utf8(argv[i]));
  const ParsedOptions parsed = ParseHostOptions(args);
  if (!parsed.error.empty()) {
    std::fprintf(stderr, "selvane-host: %s\n%s", parsed.error.c_str(), HostUsage());
    return kExitUsage;
  }
  if (parsed.options.help) {
    std::printf("%s", HostUsage());
    return 0;
  }
  if (parsed.options.version) {
    std::printf("selvane-host %s\n", SELVANE_VERSION_TEXT);
    return 0;
  }
  if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return Fail(kExitPlugin, "COM is not available");
  const int code = Run(parsed.options);
  CoUninitialize();
  return code;
}
