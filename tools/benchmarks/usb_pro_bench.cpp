// Benchmark of the network libraries driving a USB Pro interface, run by
// tools/usb-pro-bench.sh with a pseudo-terminal as the COM port:
//   usb_pro_bench <folder> <COM number>
// <folder> holds the network DMX510.dll and a Selvane.network.ini that names
// that port. Compares SetLevel with a bare WriteFile of the same message
// (median of single calls).
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "bench_table.h"
#include "usb_pro_message.h"

namespace {

using SetLevelFunction = int16_t(__stdcall*)(const uint8_t*, int32_t);
constexpr int kBlocks = 10;
constexpr int kCallsPerBlock = 100;

// Times one call, in ns, and waits a millisecond: at full speed the port's
// buffer fills faster than the reader empties it, and the figure would be
// the reader's.
template <typename F>
void TimeCall(std::vector<double>& ns, F&& call) {
  const double start = BenchNowNs();
  call();
  ns.push_back(BenchNowNs() - start);
  Sleep(1);
}

double MedianUs(std::vector<double>& ns) {
  std::sort(ns.begin(), ns.end());
  return ns[ns.size() / 2] / 1000;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: usb_pro_bench <folder> <COM number>\n");
    return 2;
  }
  const std::wstring path = std::wstring(argv[1]) + L"\\DMX510.dll";
  const HMODULE library = LoadLibraryW(path.c_str());
  auto setLevel = library ? reinterpret_cast<SetLevelFunction>(
                                reinterpret_cast<void*>(GetProcAddress(library, "SetLevel")))
                          : nullptr;
  uint8_t levels[510] = {};
  if (!setLevel || !setLevel(levels, 509)) {
    std::fprintf(stderr, "%ls does not drive the port: see its Selvane.network.ini\n", path.c_str());
    return 1;
  }
  // Past the first second after opening, when the library also looks for the
  // interface's serial number.
  for (const ULONGLONG until = GetTickCount64() + 1200; GetTickCount64() < until; Sleep(10)) setLevel(levels, 509);

  // The bare side writes through a handle of its own to the same port (Wine
  // keeps no COM port exclusive), with the library's write timeout.
  const std::wstring device = L"\\\\.\\COM" + std::wstring(argv[2]);
  const HANDLE port = CreateFileW(device.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (port == INVALID_HANDLE_VALUE) {
    std::fprintf(stderr, "cannot open %ls (error %lu)\n", device.c_str(), GetLastError());
    return 1;
  }
  COMMTIMEOUTS timeouts{MAXDWORD, 0, 0, 0, 15};
  SetCommTimeouts(port, &timeouts);

  // Alternating blocks, so that both sides see the same machine.
  std::vector<double> libraryNs, bareNs;
  uint8_t message[selvane::net::usbpro::kDmxMessageSize];
  for (int block = 0; block < kBlocks; ++block) {
    for (int i = 0; i < kCallsPerBlock; ++i) {
      levels[0] = static_cast<uint8_t>(i);
      TimeCall(libraryNs, [&] { setLevel(levels, 509); });
    }
    for (int i = 0; i < kCallsPerBlock; ++i) {
      levels[0] = static_cast<uint8_t>(i);
      TimeCall(bareNs, [&] {
        selvane::net::usbpro::BuildDmxMessage(levels, 509, message);
        DWORD written = 0;
        WriteFile(port, message, sizeof message, &written, nullptr);
      });
    }
  }
  CloseHandle(port);
  FreeLibrary(library);

  BenchRow("USB-Pro DMX510.dll: SetLevel, one message", MedianUs(libraryNs), "us/frame");
  BenchRow("bare WriteFile of the same message", MedianUs(bareNs), "us/frame");
  return 0;
}
