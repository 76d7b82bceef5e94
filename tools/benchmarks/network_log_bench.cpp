// What one event line of the support log costs its caller: the network
// libraries write one per event (start, problem, recovery, unload), never per
// frame. Into a log folder of its own under the temp folder, removed after.
#include <windows.h>

#include <string>

#include "bench_table.h"
#include "network_log.h"

int wmain() {
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  const std::wstring folder = std::wstring(temp) + L"selvane-log-bench-" + std::to_wstring(GetCurrentProcessId());
  CreateDirectoryW(folder.c_str(), nullptr);
  SetEnvironmentVariableW(L"LOCALAPPDATA", folder.c_str());
  const double ns = BenchNsPerCall(
      1000, [](int) { selvane::net::AppendNetworkLogLine(L"DMX510.dll: Senden gescheitert: Netzwerk nicht erreichbar"); },
      3);
  BenchRow("network log: one event line appended", ns / 1000, "us");
  for (const wchar_t* name : {L"\\Selvane\\Selvane-Netzwerk.log", L"\\Selvane\\Selvane-Netzwerk.old.log"})
    DeleteFileW((folder + name).c_str());
  RemoveDirectoryW((folder + L"\\Selvane").c_str());
  RemoveDirectoryW(folder.c_str());
  return 0;
}
