#include "network_status_view.h"

#include <windows.h>

#include <cstdio>

#include "network_status.h"

namespace selvane::host {
namespace {

std::string Utf8(const wchar_t* w) {
  char text[1024];
  const int n = WideCharToMultiByte(CP_UTF8, 0, w, -1, text, sizeof text, nullptr, nullptr);
  return n > 0 ? std::string(text) : std::string();
}

}  // namespace

NetworkStatusView ShowNetworkStatus(const std::wstring& dll) {
  NetworkStatusView view;
  HMODULE module = GetModuleHandleW(dll.c_str());
  auto status = module ? reinterpret_cast<SelvaneNetworkStatusFunction>(
                             reinterpret_cast<void*>(GetProcAddress(module, "SelvaneNetworkStatus")))
                       : nullptr;
  SelvaneNetworkStatusInfo s{};
  s.size = sizeof s;
  if (!status || !status(&s)) return view;
  view.present = true;
  view.usable = s.usable != 0;
  view.problem = Utf8(s.problem);
  const unsigned a = s.destination;
  std::printf("  interface           %s (network library for the %s)\n", Utf8(dll.c_str()).c_str(),
              Utf8(s.interfaceName).c_str());
  std::printf("  configuration       %s\n", s.configFile[0] ? Utf8(s.configFile).c_str() : "(not read yet)");
  if (s.protocol == 1)
    std::printf("  network output      sACN to %u.%u.%u.%u:%u, universe %u, priority %d, source \"%s\"\n", a >> 24,
                (a >> 16) & 255, (a >> 8) & 255, a & 255, s.port, s.universe, s.priority,
                Utf8(s.sourceName).c_str());
  else if (s.protocol == 2)
    std::printf("  network output      Art-Net to %u.%u.%u.%u:%u, port-address %u (Net %u, Sub-Net %u, Universe %u)\n",
                a >> 24, (a >> 16) & 255, (a >> 8) & 255, a & 255, s.port, s.universe, s.universe >> 8,
                (s.universe >> 4) & 15, s.universe & 15);
  else if (s.protocol == 3)
    std::printf("  USB DMX output      USB-Pro on COM%u%s%s\n", s.port, s.sourceName[0] ? ", serial number " : "",
                Utf8(s.sourceName).c_str());
  std::printf("  frames sent         %lu, %lu send errors\n", static_cast<unsigned long>(s.framesSent),
              static_cast<unsigned long>(s.sendErrors));
  if (s.problemsReported)
    std::printf("  problems reported   %lu\n", static_cast<unsigned long>(s.problemsReported));
  if (!view.problem.empty()) std::printf("  problem             %s\n", view.problem.c_str());
  return view;
}

}  // namespace selvane::host
