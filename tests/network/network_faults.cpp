// Drives one network interface library the way a careless writer or a busy
// host does, inside the receiver's namespace; run_network_e2e.sh checks what
// the receiver (olad) got. Prints what went wrong and returns 1, else 0.
//   network_faults settling   DMX510.dll: the .ini saved in two parts 30 ms apart
//   network_faults threads    DMX60.dll: 64 host threads at once
//   network_faults counts     DMX510.dll: SetLevel with counts it cannot use, or no address
//   network_faults utf16      DMX120.dll: the .ini saved as UTF-16
//   network_faults zeros      DMX120.dll: a Destination with leading zeros
// The library and the folder's Selvane.network.ini are the script's, except in "settling".
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "network_library_client.h"

namespace {

using selvane::vendor::OutDmxFunction;
using selvane::vendor::SetLevelFunction;
int g_failures = 0;

void Fail(const char* what) {
  std::printf("FAIL: %s\n", what);
  ++g_failures;
}

SelvaneNetworkStatusInfo Status(HMODULE library) {
  const SelvaneNetworkStatusInfo s = NetworkStatusOf(library);
  if (!s.size) Fail("no SelvaneNetworkStatus");
  return s;
}

void Write(HANDLE file, const char* text) {
  DWORD written = 0;
  WriteFile(file, text, static_cast<DWORD>(std::strlen(text)), &written, nullptr);
}

int Settling() {
  // The first part alone is valid, with the default universe 1; the whole file names universe 2.
  HANDLE file = CreateFileW(L"Selvane.network.ini", GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return Fail("cannot write Selvane.network.ini"), 1;
  Write(file, "[Output]\r\nProtocol = sACN\r\nDestination = 127.0.0.1\r\n");
  HMODULE lib = LoadLibraryW(L"DMX510.dll");
  auto setLevel = LibraryEntry<SetLevelFunction>(lib, "SetLevel");
  if (!setLevel) return Fail("cannot load DMX510.dll"), 1;
  uint8_t levels[510];
  std::memset(levels, 77, sizeof levels);
  const ULONGLONG start = GetTickCount64();
  bool second = false;
  while (GetTickCount64() - start < 2500) {
    if (!setLevel(levels, 509)) Fail("SetLevel answered 0 while the file was being written");
    if (!second && GetTickCount64() - start >= 30) {
      Write(file, "Universe = 2\r\n");
      CloseHandle(file);
      second = true;
    }
    Sleep(10);
  }
  const SelvaneNetworkStatusInfo s = Status(lib);
  std::printf("frames sent %u, universe %u, problems reported %u\n", s.framesSent, s.universe, s.problemsReported);
  if (s.universe != 2 || s.framesSent == 0) Fail("the whole file was not in use after 2.5 s");
  return g_failures ? 1 : 0;
}

int Threads() {
  HMODULE lib = LoadLibraryW(L"DMX60.dll");
  auto outDmx = LibraryEntry<OutDmxFunction>(lib, "OutDMX");
  if (!outDmx) return Fail("cannot load DMX60.dll"), 1;
  constexpr int kThreads = 64, kFrames = 12;
  std::vector<std::thread> threads;
  volatile LONG answeredZero = 0;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      const uint8_t level = static_cast<uint8_t>(t + 1);
      for (int f = 0; f < kFrames; ++f) {
        for (int i = 0; i < 64; ++i) {
          if (!outDmx(static_cast<uint8_t>(i), level)) InterlockedIncrement(&answeredZero);
          if (i % 8 == 7) SwitchToThread();  // hosts' threads interleave anywhere
        }
        Sleep(5);
      }
    });
  }
  for (auto& t : threads) t.join();
  const SelvaneNetworkStatusInfo s = Status(lib);
  std::printf("frames sent %u of %d\n", s.framesSent, kThreads * kFrames);
  if (answeredZero) Fail("OutDMX answered 0");
  return g_failures ? 1 : 0;
}

int Counts() {
  HMODULE lib = LoadLibraryW(L"DMX510.dll");
  auto setLevel = LibraryEntry<SetLevelFunction>(lib, "SetLevel");
  if (!setLevel) return Fail("cannot load DMX510.dll"), 1;
  uint8_t levels[600];
  std::memset(levels, 0, sizeof levels);
  const struct {
    const uint8_t* at;
    int32_t count;
  } bad[] = {{levels, 0}, {levels, -1}, {levels, static_cast<int32_t>(0xFFFF0005u)}, {levels, 513}, {nullptr, 510}};
  for (const auto& c : bad) {
    for (int tick = 0; tick < 3; ++tick) {
      if (setLevel(c.at, c.count) != 0) {
        std::printf("SetLevel(%s, %d) answered nonzero\n", c.at ? "levels" : "NULL", c.count);
        Fail("an unusable SetLevel call was answered as a success");
      }
    }
  }
  SelvaneNetworkStatusInfo s = Status(lib);
  std::printf("frames sent %u, problems reported %u: %ls\n", s.framesSent, s.problemsReported, s.problem);
  if (s.framesSent != 0) Fail("frames went out for unusable calls");
  if (s.problemsReported != 5) Fail("not one report for each kind of unusable call");
  // Then one good frame, which the receiver must be the only one to see.
  std::memset(levels, 99, sizeof levels);
  if (setLevel(levels, 509) != 1) Fail("a good SetLevel after them answered 0");
  return g_failures ? 1 : 0;
}

int ExpectPaused(const wchar_t* dll, const wchar_t* reason) {
  HMODULE lib = LoadLibraryW(dll);
  auto outDmx = LibraryEntry<OutDmxFunction>(lib, "OutDMX");
  if (!outDmx) return Fail("cannot load the library"), 1;
  for (int i = 0; i < 120; ++i)
    if (outDmx(static_cast<uint8_t>(i), 50) != 0) return Fail("OutDMX answered 1 for a file it cannot use"), 1;
  const SelvaneNetworkStatusInfo s = Status(lib);
  std::printf("problem: %ls\n", s.problem);
  if (!std::wcsstr(s.problem, reason)) Fail("the report does not say why");
  return g_failures ? 1 : 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const std::wstring mode = argc > 1 ? argv[1] : L"";
  if (mode == L"settling") return Settling();
  if (mode == L"threads") return Threads();
  if (mode == L"counts") return Counts();
  if (mode == L"utf16") return ExpectPaused(L"DMX120.dll", L"als UTF-8 speichern");
  if (mode == L"zeros") return ExpectPaused(L"DMX120.dll", L"Destination: keine IPv4-Adresse");
  std::printf("usage: network_faults settling|threads|counts|utf16|zeros\n");
  return 2;
}
