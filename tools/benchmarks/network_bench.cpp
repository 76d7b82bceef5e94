// Benchmarks of the network interface libraries, run by tools/network-bench.sh
// inside a private network namespace with olad as the receiver.
//   network_bench <folder> cost           library cost per frame: SetLevel, and 120 OutDMX calls
//   network_bench <folder> frames <n>     n SetLevel frames, 10 ms apart, each different
//   network_bench <folder> latency <n>    SetChannel to the level visible at olad, n changes
// <folder> holds Selvane.out.dll, the network DMX510.dll and DMX120.dll and Selvane.network.ini.
#include <winsock2.h>
#include <windows.h>
#include <oleauto.h>
#include <wrl/client.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench_table.h"
#include "e131_packet.h"
#include "message_pump.h"
#include "network_library_client.h"
#include "plugin_module.h"

using Microsoft::WRL::ComPtr;

namespace {

using selvane::vendor::OutDmxFunction;
using selvane::vendor::SetLevelFunction;

std::wstring g_folder;

HMODULE Load(const wchar_t* name) {
  const std::wstring path = g_folder + L"\\" + name;
  HMODULE m = LoadLibraryW(path.c_str());
  if (!m) std::fprintf(stderr, "cannot load %ls\n", path.c_str());
  return m;
}

// The machine's own send, to compare with: a plain loop sending a packet like
// the library's (its size, destination and universe; another CID), built once,
// on a socket with the library's options (non-blocking, broadcast allowed).
class BareSender {
 public:
  explicit BareSender(const SelvaneNetworkStatusInfo& library) {
    WSADATA data;
    u_long nonBlocking = 1;
    const BOOL broadcast = TRUE;
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0 || (socket_ = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP)) == INVALID_SOCKET ||
        ioctlsocket(socket_, FIONBIO, &nonBlocking) != 0 ||
        setsockopt(socket_, SOL_SOCKET, SO_BROADCAST, reinterpret_cast<const char*>(&broadcast), sizeof broadcast) != 0)
      return;
    to_.sin_family = AF_INET;
    to_.sin_port = htons(library.port);
    to_.sin_addr.s_addr = htonl(library.destination);
    selvane::net::E131Source source{};
    std::memset(source.cid.bytes, 0xb5, sizeof source.cid.bytes);
    source.priority = 100;
    selvane::net::BuildE131DataPacket(source, library.universe, 0, nullptr, 0, datagram_);
    ready_ = true;
  }
  ~BareSender() {
    if (socket_ != INVALID_SOCKET) closesocket(socket_);
  }
  bool Ready() const { return ready_; }
  void Send() {
    if (sendto(socket_, reinterpret_cast<const char*>(datagram_), sizeof datagram_, 0,
               reinterpret_cast<const sockaddr*>(&to_), sizeof to_) != sizeof datagram_)
      ++failed_;
  }
  int Failed() const { return failed_; }

 private:
  SOCKET socket_ = INVALID_SOCKET;
  sockaddr_in to_{};
  uint8_t datagram_[selvane::net::kE131PacketSize];
  bool ready_ = false;
  int failed_ = 0;
};

int Cost() {
  HMODULE dmx510 = Load(L"DMX510.dll"), dmx120 = Load(L"DMX120.dll");
  if (!dmx510 || !dmx120) return 1;
  auto setLevel = LibraryEntry<SetLevelFunction>(dmx510, "SetLevel");
  auto outDmx = LibraryEntry<OutDmxFunction>(dmx120, "OutDMX");
  uint8_t levels[510] = {};
  if (!setLevel(levels, 509) || !outDmx(119, 0)) {
    std::fprintf(stderr, "the libraries answer 0: see Selvane.network.ini\n");
    return 1;
  }
  BareSender bare(NetworkStatusOf(dmx510));
  if (!bare.Ready()) {
    std::fprintf(stderr, "no socket for the bare send\n");
    return 1;
  }
  // The three in turn, round by round, each round in another order, the best
  // round of each: a busy moment of the machine (or of the receiver, still
  // busy with the last one's packets) then costs all three alike.
  const int frames = 250;
  double best[3] = {1e300, 1e300, 1e300};  // bare, SetLevel, 120 OutDMX
  const auto measure = [&](int which) {
    if (which == 0) return BenchNsPerCall(frames, [&](int) { bare.Send(); }, 1);
    if (which == 1) return BenchNsPerCall(frames, [&](int i) {
      levels[0] = static_cast<uint8_t>(i);
      setLevel(levels, 509);
    }, 1);
    return BenchNsPerCall(frames, [&](int i) {
      for (int c = 0; c < 120; ++c) outDmx(static_cast<uint8_t>(c), static_cast<uint8_t>(i + c));
    }, 1);
  };
  for (int round = 0; round < 24; ++round) {
    for (int k = 0; k < 3; ++k) {
      const int which = (round + (round / 3 % 2 ? 3 - k : k)) % 3;
      best[which] = std::min(best[which], measure(which));
    }
  }
  const double bareNs = best[0], setLevelNs = best[1], outDmxNs = best[2];
  if (bare.Failed()) std::fprintf(stderr, "%d bare sends failed\n", bare.Failed());
  BenchRow("network DMX510.dll: SetLevel, one sACN frame", setLevelNs / 1000, "us/frame");
  BenchRow("network DMX120.dll: 120 OutDMX calls, one sACN frame", outDmxNs / 1000, "us/frame");
  BenchRow("bare sendto of the same sACN datagram", bareNs / 1000, "us/frame");
  BenchRow("SetLevel frame against the bare sendto", setLevelNs / bareNs, "x");
  BenchRow("120 OutDMX frame against the bare sendto", outDmxNs / bareNs, "x");
  return 0;
}

int Frames(int count) {
  HMODULE dmx510 = Load(L"DMX510.dll");
  if (!dmx510) return 1;
  auto setLevel = LibraryEntry<SetLevelFunction>(dmx510, "SetLevel");
  uint8_t levels[510] = {};
  for (int i = 0; i < count; ++i) {
    levels[0] = static_cast<uint8_t>(i);
    levels[1] = static_cast<uint8_t>(i >> 8);
    if (!setLevel(levels, 509)) return 1;
    Sleep(10);
  }
  std::printf("%lu\n", static_cast<unsigned long>(NetworkStatusOf(dmx510).framesSent));
  return 0;
}

// Channel 1 as olad holds it in universe 1, from its HTTP API; -1 on failure.
int ReceiverChannel1() {
  SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (s == INVALID_SOCKET) return -1;
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(9090);
  to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  int level = -1;
  if (connect(s, reinterpret_cast<sockaddr*>(&to), sizeof to) == 0) {
    const char request[] = "GET /get_dmx?u=1 HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n";
    send(s, request, sizeof request - 1, 0);
    std::string reply;
    char buffer[4096];
    for (int n; (n = recv(s, buffer, sizeof buffer, 0)) > 0;) reply.append(buffer, static_cast<size_t>(n));
    // {"dmx": [0, 1, ...], ...}, with or without blanks
    const size_t key = reply.find("\"dmx\"");
    const size_t at = key == std::string::npos ? key : reply.find('[', key);
    if (at != std::string::npos && reply.find_first_of("0123456789", at) < reply.find(']', at))
      level = std::atoi(reply.c_str() + at + 1 + reply.substr(at + 1).find_first_not_of(" \n\r\t"));
  }
  closesocket(s);
  return level;
}

int Latency(int changes) {
  WSADATA data;
  WSAStartup(MAKEWORD(2, 2), &data);
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  const PluginModule plugin((g_folder + L"\\Selvane.out.dll").c_str());
  ComPtr<_clsOutputDriver> driver;
  if (FAILED(plugin.Create(driver))) {
    std::fprintf(stderr, "cannot create the plug-in's driver from %ls\\Selvane.out.dll\n", g_folder.c_str());
    return 1;
  }
  // Nothing stored for this title: the plug-in selects the DMX-510USB.
  BSTR title = SysAllocString(L"Selvane Network Bench"), file = SysAllocString(L"Selvane.out.dll");
  VARIANT_BOOL ok;
  driver->Init(&title, &file, &ok);
  driver->Enable(&ok);
  std::vector<double> ms;
  for (int i = 0; i < changes; ++i) {
    LONG channel = 1, value = 1 + (i * 97) % 255;
    if (value == ReceiverChannel1()) value = value % 255 + 1;
    const double start = BenchNowNs();
    driver->SetChannel(&channel, &value, &ok);
    // The receiver is asked again and again, not only when a message came.
    if (!PumpUntil([&] { return ReceiverChannel1() == value; }, 2000, 0)) {
      std::fprintf(stderr, "level %ld never arrived\n", value);
      return 1;
    }
    ms.push_back((BenchNowNs() - start) / 1e6);
    // A random phase against the 45 ms tick for the next change.
    PumpFor(static_cast<DWORD>(10 + (i * 37) % 40));
  }
  driver->Disable(&ok);
  std::sort(ms.begin(), ms.end());
  BenchRow("SetChannel to level at olad, p50 (100 changes)", ms[ms.size() / 2], "ms");
  BenchRow("SetChannel to level at olad, p99 (100 changes)", ms[(ms.size() * 99) / 100 - 1], "ms");
  SysFreeString(title);
  SysFreeString(file);
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: network_bench <folder> cost|frames <n>|latency <n>\n");
    return 2;
  }
  g_folder = argv[1];
  const std::wstring mode = argv[2];
  const int n = argc > 3 ? _wtoi(argv[3]) : 100;
  if (mode == L"cost") return Cost();
  if (mode == L"frames") return Frames(n);
  if (mode == L"latency") return Latency(n);
  return 2;
}
