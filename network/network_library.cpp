// A network interface library: it takes the place of the maker's DMX60.dll,
// DMX120.dll or DMX510.dll (SELVANE_VENDOR_LIBRARY, a row of the vendor
// contract; the .def file exports that row's entry) and runs the output engine
// on Win32: the exports, DllMain, the settings file, the clock, the reports,
// and what carries the frames (a UDP socket, or a USB Pro interface's COM
// port). It loads into lighting hosts: no exceptions, no C++ runtime locks or
// threads, nothing allocated after start; one SRW lock serialises the calls.
#include "udp_transport.h"

#include <windows.h>

#include <cstdio>

#include "network_log.h"
#include "serial_transport.h"
#include "network_status.h"
#include "output_engine.h"
#include "settings_location.h"
#include "source_cid.h"
#include "srw_lock_guard.h"

using namespace selvane::net;
using selvane::srw_lock_guard;

namespace {

constexpr const selvane::vendor::Library& kLibrary = selvane::vendor::kVendorLibraries[SELVANE_VENDOR_LIBRARY];

uint64_t Hundreds(const FILETIME& time) { return (uint64_t{time.dwHighDateTime} << 32) | time.dwLowDateTime; }

// UTF-8 into a fixed buffer, cut if too long, always terminated.
template <size_t N>
void Widen(wchar_t (&to)[N], const char* utf8) {
  wchar_t wide[1024];
  if (!MultiByteToWideChar(CP_UTF8, 0, utf8, -1, wide, 1024)) wide[0] = 0;
  lstrcpynW(to, wide, static_cast<int>(N));
}

class Platform final : public EnginePlatform, public SettingsFile {
 public:
  void Start(Cid& cid, uint8_t& sequenceStart) override {
    const DWORD n = GetModuleFileNameW(module, folder, MAX_PATH);
    DWORD end = n < MAX_PATH ? n : 0;
    while (end > 0 && folder[end - 1] != L'\\' && folder[end - 1] != L'/') --end;
    folder[end] = 0;
    Locate();
    cid = SourceCid();
    // A start that moves on with the clock, one step per 45 ms tick: a host
    // restarted with the same CID then carries on about where it stopped, and
    // receivers that remember our last number do not take us for old packets.
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    sequenceStart = static_cast<uint8_t>(Hundreds(now) / 450000);
  }
  SettingsFile& Settings() override { return *this; }
  const char* SettingsPath() override { return pathUtf8; }
  Transport& TransportFor(Protocol protocol) override {
    return protocol == Protocol::UsbPro ? static_cast<Transport&>(serial) : udp;
  }
  void Report(const char* line) override {
    wchar_t wide[640];
    Widen(wide, line);
    OutputDebugStringW(wide);
    Log(line);
  }
  void Log(const char* line) override {
    size_t size = lstrlenA(line);
    if (size > 0 && line[size - 1] == '\n') --size;
    AppendNetworkLogLineUtf8(line, size);
  }

  // The file in force: beside the library, else the user's own. Looked for
  // again at every look, so a file put beside the library takes over.
  void Locate() {
    bool beside = false;
    if (!folder[0] || !SettingsPathInForce(folder, path, beside)) path[0] = 0;
    if (!WideCharToMultiByte(CP_UTF8, 0, path, -1, pathUtf8, sizeof pathUtf8, nullptr, nullptr)) pathUtf8[0] = 0;
  }
  // Once after each opening of a USB Pro interface that tells its serial number.
  void ReportSerialNumber() {
    if (const uint32_t number = serial.NewSerialNumber()) {
      char line[160];
      std::snprintf(line, sizeof line, "Selvane Netzwerk-Ausgabe (%ls): USB-Pro-Interface an COM%u, Seriennummer %08lu.\n",
                    kLibrary.file, serial.Port().PortNumber(), static_cast<unsigned long>(number));
      Report(line);
    }
  }

  bool Stamp(SettingsStamp& stamp) override {
    Locate();
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!path[0] || !GetFileAttributesExW(path, GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
      return false;
    stamp.size = (uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
    stamp.written = Hundreds(data.ftLastWriteTime);
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    stamp.ageMs = Hundreds(now) > stamp.written ? (Hundreds(now) - stamp.written) / 10000 : 0;
    return true;
  }
  ReadOutcome Read(char* text, size_t capacity, size_t& size, bool evenInUse) override {
    // Without FILE_SHARE_WRITE, a writer that still holds the file open makes this fail.
    const DWORD share = FILE_SHARE_READ | FILE_SHARE_DELETE | (evenInUse ? FILE_SHARE_WRITE : 0);
    const HANDLE opened = CreateFileW(path, GENERIC_READ, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    selvane::unique_handle file(opened == INVALID_HANDLE_VALUE ? nullptr : opened);
    DWORD read = 0;
    if (!file || !ReadFile(file.get(), text, static_cast<DWORD>(capacity), &read, nullptr)) {
      const DWORD error = GetLastError();
      return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION ? ReadOutcome::InUse
                                                                               : ReadOutcome::Unreadable;
    }
    size = read;
    return ReadOutcome::Read;
  }

  HMODULE module = nullptr;
  wchar_t folder[MAX_PATH] = L"";
  wchar_t path[kSettingsPathChars] = L"";
  char pathUtf8[3 * kSettingsPathChars] = "";
  UdpTransport udp;
  SerialTransport serial;
};

SRWLOCK g_lock = SRWLOCK_INIT;
Platform g_platform;
OutputEngine g_engine(kLibrary, g_platform);

}  // namespace

extern "C" {

// Both entries are built into each library; its .def file exports its own.
selvane::vendor::Result __stdcall SetLevel(const uint8_t* levels, int32_t count) {
  srw_lock_guard guard(g_lock);
  const selvane::vendor::Result result = g_engine.SetLevel(levels, count, GetTickCount64());
  g_platform.ReportSerialNumber();
  return result;
}

selvane::vendor::Result __stdcall OutDMX(uint8_t index, uint8_t level) {
  srw_lock_guard guard(g_lock);
  const selvane::vendor::Result result = g_engine.OutDmx(GetCurrentThreadId(), index, level, GetTickCount64());
  g_platform.ReportSerialNumber();
  return result;
}

int32_t __stdcall SelvaneNetworkStatus(SelvaneNetworkStatusInfo* status) {
  if (!status || status->size < sizeof(SelvaneNetworkStatusInfo)) return 0;
  srw_lock_guard guard(g_lock, srw_lock_guard::shared);
  EngineStatus s;
  g_engine.Status(s);
  *status = SelvaneNetworkStatusInfo{};
  status->size = sizeof *status;
  status->usable = s.usable ? 1 : 0;
  lstrcpynW(status->interfaceName, kLibrary.displayName, 16);
  lstrcpynW(status->configFile, g_platform.path, MAX_PATH);
  Widen(status->problem, s.problem);
  if (s.configured && s.config.protocol == Protocol::UsbPro) {
    status->protocol = static_cast<int32_t>(s.config.protocol);
    status->port = static_cast<uint16_t>(s.config.port.number);
    if (const uint32_t number = g_platform.serial.Port().SerialNumber())
      _snwprintf(status->sourceName, 64, L"%08lu", static_cast<unsigned long>(number));
  } else if (s.configured) {
    const Destination to = DestinationOf(s.config);
    const bool sacn = s.config.protocol == Protocol::Sacn;
    status->protocol = static_cast<int32_t>(s.config.protocol);
    status->destination = to.address;
    status->port = to.port;
    status->universe = s.config.universe;
    status->priority = sacn ? s.config.priority : 0;
    if (sacn) Widen(status->sourceName, s.config.sourceName);
  }
  status->framesSent = s.framesSent;
  status->sendErrors = s.sendErrors;
  status->lastSendError = s.lastSendError;
  status->problemsReported = s.problemsReported;
  return 1;
}

BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID reserved) {
  if (reason == DLL_PROCESS_ATTACH) {
    g_platform.module = module;
    DisableThreadLibraryCalls(module);
  } else if (reason == DLL_PROCESS_DETACH) {
    // The summary for the log, also when the process ends; a thread ended
    // while it held the lock cannot release it, so never wait for it.
    if (TryAcquireSRWLockExclusive(&g_lock)) {
      g_engine.Unloading();
      ReleaseSRWLockExclusive(&g_lock);
    }
    if (reserved == nullptr) {
      // Unloaded while the process goes on: give the socket and the COM port back.
      g_platform.udp.Close();
      g_platform.serial.Close();
    }
  }
  return TRUE;
}

}  // extern "C"
