#pragma once
// A folder of one test under the temp folder: the program's folder (where the
// libraries would be), and the user's %APPDATA% and %LOCALAPPDATA%, which the
// test process sets for itself and the programs it starts. Removed at the end.
#include <windows.h>

#include <string>

class Sandbox {
 public:
  explicit Sandbox(const wchar_t* name) {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    root_ = std::wstring(temp) + L"selvane-" + name + L"-" + std::to_wstring(GetCurrentProcessId());
    RemoveTree(root_);
    for (const std::wstring& folder : {root_, Program(), AppData(), LocalAppData()})
      CreateDirectoryW(folder.c_str(), nullptr);
    SetEnvironmentVariableW(L"APPDATA", AppData().c_str());
    SetEnvironmentVariableW(L"LOCALAPPDATA", LocalAppData().c_str());
  }
  ~Sandbox() { RemoveTree(root_); }
  Sandbox(const Sandbox&) = delete;
  Sandbox& operator=(const Sandbox&) = delete;

  std::wstring Program() const { return root_ + L"\\program"; }
  std::wstring AppData() const { return root_ + L"\\roaming"; }
  std::wstring LocalAppData() const { return root_ + L"\\local"; }
  std::wstring BesideIni() const { return Program() + L"\\Selvane.network.ini"; }
  std::wstring UserIni() const { return AppData() + L"\\Selvane\\Selvane.network.ini"; }
  std::wstring Log() const { return LocalAppData() + L"\\Selvane\\Selvane-Netzwerk.log"; }
  std::wstring OldLog() const { return LocalAppData() + L"\\Selvane\\Selvane-Netzwerk.old.log"; }

  static void Write(const std::wstring& path, const std::string& text) {
    const size_t slash = path.find_last_of(L'\\');
    CreateDirectoryW(path.substr(0, slash).c_str(), nullptr);
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(f, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(f);
  }
  // The whole file, or "<missing>".
  static std::string Read(const std::wstring& path) {
    HANDLE f = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE) return "<missing>";
    std::string text;
    char buffer[65536];
    DWORD got = 0;
    while (ReadFile(f, buffer, sizeof buffer, &got, nullptr) && got > 0) text.append(buffer, got);
    CloseHandle(f);
    return text;
  }

 private:
  static void RemoveTree(const std::wstring& folder) {
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (find != INVALID_HANDLE_VALUE) {
      do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..") continue;
        const std::wstring path = folder + L"\\" + name;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
          RemoveTree(path);
        } else {
          SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
          DeleteFileW(path.c_str());
        }
      } while (FindNextFileW(find, &found));
      FindClose(find);
    }
    RemoveDirectoryW(folder.c_str());
  }

  std::wstring root_;
};
