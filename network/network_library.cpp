// A network interface library: it takes the place of the maker's DMX60.dll,
// DMX120.dll or DMX510.dll and sends each tick's levels as one sACN (E1.31) or
// Art-Net universe packet. Built three times from this file:
//   SELVANE_NETWORK_CHANNELS=64 or 120  OutDMX(index, level), a packet at the last index
//   SELVANE_NETWORK_SETLEVEL            SetLevel(levels, count), a packet per call
// It loads into lighting hosts: no exceptions, no C++ runtime locks or
// threads, nothing allocated after start; one SRW lock serialises the calls.
#include <winsock2.h>
#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "channel_gatherer.h"
#include "config_file.h"
#include "network_status.h"
#include "outgoing_packet.h"
#include "source_cid.h"
#include "udp_sender.h"

using namespace selvane::net;

namespace {

#ifdef SELVANE_NETWORK_SETLEVEL
constexpr wchar_t kInterfaceName[] = L"DMX-510USB";
constexpr wchar_t kLibraryName[] = L"DMX510.dll";
constexpr int kGatheredChannels = 1;
#elif SELVANE_NETWORK_CHANNELS == 120
constexpr wchar_t kInterfaceName[] = L"DMX-120";
constexpr wchar_t kLibraryName[] = L"DMX120.dll";
constexpr int kGatheredChannels = 120;
#else
constexpr wchar_t kInterfaceName[] = L"DMX-60";
constexpr wchar_t kLibraryName[] = L"DMX60.dll";
constexpr int kGatheredChannels = 64;
#endif

struct Library {
  SRWLOCK lock = SRWLOCK_INIT;
  HMODULE module = nullptr;
  bool started = false;  // the first call has run: CID, file path and sequence start are known
  ConfigFile file;
  ConfigResult reading;  // the file as last read
  bool usable = false;   // the reading is usable and the socket is open
  UdpSender sender;
  Cid cid{};
  SequenceCounters sequences;
  ChannelGatherer gatherer{kGatheredChannels};
  OutgoingPacket packet;
  uint32_t framesSent = 0;
  uint32_t sendErrors = 0;
  int lastSendError = 0;
  bool lastSendFailed = false;
  uint32_t problemsReported = 0;
  wchar_t problem[320] = L"";
};

Library g;

// printf into a fixed buffer, always terminated, cut if too long.
template <size_t N>
void Print(wchar_t (&out)[N], const wchar_t* format, ...) {
  va_list args;
  va_start(args, format);
  _vsnwprintf(out, N - 1, format, args);
  va_end(args);
  out[N - 1] = 0;
}

template <size_t N>
void CopyWide(wchar_t (&to)[N], const wchar_t* from) {
  lstrcpynW(to, from, static_cast<int>(N));
}

// One report per distinct problem: the debugger output and the status.
void Report(const wchar_t* text) {
  if (lstrcmpW(text, g.problem) == 0) return;
  CopyWide(g.problem, text);
  if (!text[0]) return;
  ++g.problemsReported;
  wchar_t line[512];
  Print(line, L"Selvane network output (%ls): %ls\n", kLibraryName, text);
  OutputDebugStringW(line);
}

void ReportConfigProblem() {
  char reason[256];
  DescribeConfigProblem(g.reading, reason, sizeof reason);
  wchar_t wideReason[256];
  if (!MultiByteToWideChar(CP_UTF8, 0, reason, -1, wideReason, 256)) wideReason[0] = 0;
  wchar_t text[320];
  Print(text, L"%ls: %ls. Output is paused until the next Enable.", g.file.Path(), wideReason);
  Report(text);
}

// A sequence start that moves on with the clock, one step per 45 ms tick: a
// host restarted with the same CID then carries on about where it stopped,
// and receivers that remember our last number do not take us for old packets.
uint8_t ClockSequenceStart() {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  const ULONGLONG hundredNs = (ULONGLONG{now.dwHighDateTime} << 32) | now.dwLowDateTime;
  return static_cast<uint8_t>(hundredNs / 450000);
}

// Called under the lock at every call: reads the file when it changed (at
// most once a second) and opens the socket. Whether packets can go out.
bool Ready() {
  if (!g.started) {
    g.started = true;
    g.file.Locate(g.module);
    g.cid = SourceCid();
    g.sequences = SequenceCounters(ClockSequenceStart());
  }
  if (!g.file.Refresh(GetTickCount64(), g.reading)) return g.usable;
  g.usable = false;
  if (!g.reading.Ok()) {
    ReportConfigProblem();
    return false;
  }
  if (const int error = g.sender.Open()) {
    wchar_t text[160];
    Print(text, L"no UDP socket (Winsock error %d). Output is paused until the next Enable.", error);
    Report(text);
    g.file.RereadAtNextLook();  // and try the socket again then
    return false;
  }
  Report(L"");
  g.usable = true;
  return true;
}

void SendFrame(const uint8_t* levels, size_t count) {
  BuildOutgoingPacket(g.reading.config, g.cid, g.sequences, levels, count, g.packet);
  const int error = g.sender.Send(g.packet);
  if (error == 0) {
    ++g.framesSent;
    g.lastSendFailed = false;
    return;
  }
  ++g.sendErrors;
  // Once per outage: UDP output comes back by itself when the network does.
  if (!g.lastSendFailed || error != g.lastSendError) {
    const uint32_t a = g.packet.address;
    wchar_t text[200];
    Print(text, L"sending to %u.%u.%u.%u:%u failed (Winsock error %d); output goes on.", a >> 24, (a >> 16) & 255,
          (a >> 8) & 255, a & 255, g.packet.port, error);
    // A new report even when the text repeats an earlier outage's.
    g.problem[0] = 0;
    Report(text);
  }
  g.lastSendFailed = true;
  g.lastSendError = error;
}

}  // namespace

extern "C" {

#ifdef SELVANE_NETWORK_SETLEVEL
int16_t __stdcall SetLevel(const uint8_t* levels, int32_t count) {
  AcquireSRWLockExclusive(&g.lock);
  bool ok = Ready() && (levels || count <= 0);
  if (ok) SendFrame(levels, count < 0 ? 0 : static_cast<size_t>(count));
  ReleaseSRWLockExclusive(&g.lock);
  return ok ? 1 : 0;
}
#else
int16_t __stdcall OutDMX(uint8_t index, uint8_t level) {
  AcquireSRWLockExclusive(&g.lock);
  const bool ok = Ready();
  uint8_t frame[ChannelGatherer::kMaxChannels];
  if (ok && g.gatherer.Put(GetCurrentThreadId(), index, level, frame))
    SendFrame(frame, static_cast<size_t>(g.gatherer.Channels()));
  ReleaseSRWLockExclusive(&g.lock);
  return ok ? 1 : 0;
}
#endif

int32_t __stdcall SelvaneNetworkStatus(SelvaneNetworkStatusInfo* status) {
  if (!status || status->size < sizeof(SelvaneNetworkStatusInfo)) return 0;
  AcquireSRWLockShared(&g.lock);
  std::memset(status, 0, sizeof *status);
  status->size = sizeof *status;
  status->usable = g.usable ? 1 : 0;
  CopyWide(status->interfaceName, kInterfaceName);
  CopyWide(status->configFile, g.file.Path());
  CopyWide(status->problem, g.problem);
  if (g.reading.Ok() && g.started) {
    const NetworkConfig& c = g.reading.config;
    status->protocol = static_cast<int32_t>(c.protocol);
    status->destination = c.protocol == Protocol::Sacn && !c.hasDestination ? E131MulticastGroup(c.universe)
                                                                             : c.destination;
    status->port = c.protocol == Protocol::Sacn ? kE131Port : kArtNetPort;
    status->universe = c.universe;
    status->priority = c.protocol == Protocol::Sacn ? c.priority : 0;
    if (c.protocol == Protocol::Sacn && !MultiByteToWideChar(CP_UTF8, 0, c.sourceName, -1, status->sourceName, 64))
      status->sourceName[0] = 0;
  }
  status->framesSent = g.framesSent;
  status->sendErrors = g.sendErrors;
  status->lastSendError = g.lastSendError;
  status->problemsReported = g.problemsReported;
  ReleaseSRWLockShared(&g.lock);
  return 1;
}

BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID reserved) {
  if (reason == DLL_PROCESS_ATTACH) {
    g.module = module;
    DisableThreadLibraryCalls(module);
  } else if (reason == DLL_PROCESS_DETACH && reserved == nullptr) {
    // Unloaded while the process goes on: give the socket back. Winsock
    // itself is left started; WSACleanup must not run under the loader lock.
    g.sender.Close();
  }
  return TRUE;
}

}  // extern "C"
