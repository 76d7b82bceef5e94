// Selvane-Netzwerk.exe: the settings of the network interface libraries that
// sit in the same folder as this program.
#include <windows.h>
#include <commctrl.h>

#include <string>

#include "frm_netzwerk.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int showCommand) {
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
  std::wstring folder(MAX_PATH, L'\0');
  DWORD n = 0;
  while ((n = GetModuleFileNameW(nullptr, folder.data(), static_cast<DWORD>(folder.size()))) == folder.size())
    folder.resize(folder.size() * 2);
  folder.resize(n);
  folder.resize(folder.find_last_of(L'\\') + 1);
  return selvane::netsettings::RunFrmNetzwerk(folder.c_str(), showCommand);
}
