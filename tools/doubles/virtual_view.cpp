#include "virtual_view.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

FILE* g_frames = nullptr;
bool g_live = false;
const char* g_name = "";
double g_lastShownMs = -1e9;
double g_firstMs = 0;

// The process environment as it is now: a host sets these just before the
// plug-in loads us, after the C runtime took its copy of the environment.
std::wstring Environment(const wchar_t* name) {
  wchar_t value[1024];
  const DWORD n = GetEnvironmentVariableW(name, value, 1024);
  return n > 0 && n < 1024 ? std::wstring(value, n) : std::wstring();
}

}  // namespace

void VirtualViewStart(const char* interfaceName) {
  g_name = interfaceName;
  if (const std::wstring path = Environment(L"SELVANE_VIRTUAL_FRAMES"); !path.empty())
    g_frames = _wfopen(path.c_str(), L"a");
  const std::wstring live = Environment(L"SELVANE_VIRTUAL_VIEW");
  g_live = !live.empty() && live != L"0";
}

void VirtualViewStop() {
  if (g_frames) std::fclose(g_frames);
  g_frames = nullptr;
  if (g_live) std::fprintf(stderr, "\n");
}

bool VirtualViewActive() { return g_frames != nullptr || g_live; }

int32_t VirtualViewZeroAfter() {
  const std::wstring n = Environment(L"SELVANE_VIRTUAL_ZERO_AFTER");
  return n.empty() ? -1 : _wtoi(n.c_str());
}

void VirtualViewFrame(double timeMs, const uint8_t* levels, int count, int frameNumber) {
  if (g_frames) {
    std::fprintf(g_frames, "%.3f %d ", timeMs, count);
    for (int i = 0; i < count; ++i) std::fprintf(g_frames, "%02x", levels[i]);
    std::fputc('\n', g_frames);
    std::fflush(g_frames);
  }
  if (frameNumber == 1) g_firstMs = timeMs;
  if (g_live && timeMs - g_lastShownMs >= 250) {
    g_lastShownMs = timeMs;
    const double fps = timeMs > g_firstMs ? (frameNumber - 1) * 1000.0 / (timeMs - g_firstMs) : 0;
    std::fprintf(stderr, "\r  [virtual %s] frame %5d %5.1f fps  ch1-16:", g_name, frameNumber, fps);
    for (int i = 0; i < 16 && i < count; ++i) std::fprintf(stderr, " %02x", levels[i]);
    std::fflush(stderr);
  }
}
