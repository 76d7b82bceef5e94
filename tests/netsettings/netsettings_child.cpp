// What the Win32 tests of the settings program need another process for:
//   netsettings_child append <tag> <count>     appends <count> numbered lines to the log
//   netsettings_child die-mid-save <path>      writes the temporary file of a save, then dies
#include <windows.h>

#include <cstdio>
#include <string>

#include "network_log.h"
#include "settings_file.h"

int wmain(int argc, wchar_t** argv) {
  const std::wstring mode = argc > 1 ? argv[1] : L"";
  if (mode == L"append" && argc == 4) {
    const int count = _wtoi(argv[3]);
    for (int i = 0; i < count; ++i) {
      wchar_t line[200];
      std::swprintf(line, 200, L"%ls %05d %ls", argv[2], i, std::wstring(60, L'x').c_str());
      selvane::net::AppendNetworkLogLine(line);
    }
    return 0;
  }
  if (mode == L"die-mid-save" && argc == 3) {
    const std::string text = "[Output]\r\nUniverse = 2\r\n" + std::string(8000, ';') + "\r\n";
    selvane::netsettings::WriteTemporaryFile(selvane::netsettings::TemporaryPathFor(argv[2]), text);
    // As a crash between the write and the replace would.
    TerminateProcess(GetCurrentProcess(), 3);
  }
  std::fprintf(stderr, "netsettings_child: unknown command\n");
  return 2;
}
