// What the Win32 tests of the settings program need another process for:
//   netsettings_child append <tag> <count>     appends <count> numbered lines to the log
//   netsettings_child die-mid-save <path>      writes the temporary file of a save, then dies
//   netsettings_child press-testen             presses "Testen" in the running "Selvane Netzwerk",
//                                              prints what it reports, and closes it
#include <windows.h>

#include <cstdio>
#include <string>

#include "network_log.h"
#include "settings_file.h"

namespace {

BOOL CALLBACK MatchButton(HWND hwnd, LPARAM found) {
  wchar_t text[64] = {};
  GetWindowTextW(hwnd, text, 64);
  if (std::wstring(text) != L"&Testen") return TRUE;
  *reinterpret_cast<HWND*>(found) = hwnd;
  return FALSE;
}

// As a user would: waits for the window, presses the button, reads the result below it.
int PressTesten() {
  HWND window = nullptr;
  for (int waited = 0; !window && waited < 60000; waited += 50, Sleep(50))
    window = FindWindowW(L"SelvaneNetzwerk", L"Selvane Netzwerk");
  HWND button = nullptr;
  if (window) EnumChildWindows(window, &MatchButton, reinterpret_cast<LPARAM>(&button));
  if (!button) {
    std::fprintf(stderr, "netsettings_child: no window with a button Testen\n");
    return 1;
  }
  SendMessageW(button, BM_CLICK, 0, 0);
  HWND result = GetWindow(GetWindow(button, GW_HWNDNEXT), GW_HWNDNEXT);  // after the close button
  wchar_t text[400] = {};
  for (int waited = 0; waited < 60000; waited += 50, Sleep(50)) {
    GetWindowTextW(result, text, 400);
    if (std::wstring(text).starts_with(L"Testmuster gesendet")) break;
  }
  char utf8[1200] = {};
  WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, sizeof utf8, nullptr, nullptr);
  std::printf("%s\n", utf8);
  PostMessageW(window, WM_CLOSE, 0, 0);
  return std::wstring(text).starts_with(L"Testmuster gesendet") ? 0 : 1;
}

}  // namespace

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
  if (mode == L"press-testen") return PressTesten();
  std::fprintf(stderr, "netsettings_child: unknown command\n");
  return 2;
}
