// Closes the "Konfiguration" dialog of another process, for the script tests:
// waits for it, clicks the option named on the command line, then closes it.
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

struct Search {
  HWND found = nullptr;
  std::wstring caption;
};

BOOL CALLBACK MatchDialog(HWND hwnd, LPARAM p) {
  wchar_t title[64] = {};
  GetWindowTextW(hwnd, title, 64);
  if (std::wstring(title) == L"Konfiguration" && IsWindowVisible(hwnd)) {
    reinterpret_cast<Search*>(p)->found = hwnd;
    return FALSE;
  }
  return TRUE;
}

BOOL CALLBACK MatchOption(HWND hwnd, LPARAM p) {
  auto* s = reinterpret_cast<Search*>(p);
  wchar_t text[64] = {};
  GetWindowTextW(hwnd, text, 64);
  if (s->caption == text) {
    s->found = hwnd;
    return FALSE;
  }
  return TRUE;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const std::wstring option = argc > 1 ? argv[1] : L"";
  const int dialogs = argc > 2 ? _wtoi(argv[2]) : 1;
  for (int n = 0; n < dialogs; ++n) {
    Search dialog;
    for (int waited = 0; !dialog.found && waited < 30000; waited += 20) {
      EnumWindows(MatchDialog, reinterpret_cast<LPARAM>(&dialog));
      if (!dialog.found) Sleep(20);
    }
    if (!dialog.found) {
      std::fprintf(stderr, "dialog_closer: no dialog appeared\n");
      return 1;
    }
    if (!option.empty()) {
      Search button;
      button.caption = option;
      EnumChildWindows(dialog.found, MatchOption, reinterpret_cast<LPARAM>(&button));
      if (!button.found) {
        std::fprintf(stderr, "dialog_closer: no option %ls\n", option.c_str());
        PostMessageW(dialog.found, WM_CLOSE, 0, 0);
        return 1;
      }
      SendMessageW(button.found, BM_CLICK, 0, 0);
    }
    PostMessageW(dialog.found, WM_CLOSE, 0, 0);
    for (int waited = 0; IsWindow(dialog.found) && waited < 5000; waited += 20) Sleep(20);
  }
  return 0;
}
