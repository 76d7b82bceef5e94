#include "network_log.h"

#include <windows.h>

#include <cwchar>

#include "network_log_line.h"

namespace selvane::net {
namespace {

constexpr wchar_t kFolder[] = L"\\Selvane";
constexpr wchar_t kLogName[] = L"\\Selvane-Netzwerk.log";
constexpr wchar_t kOldLogName[] = L"\\Selvane-Netzwerk.old.log";
constexpr wchar_t kLogMutex[] = L"Local\\Selvane-Netzwerk-Log";
constexpr size_t kPathChars = MAX_PATH + 64;

bool LogFolder(wchar_t* out, size_t capacity) noexcept {
  const DWORD n = GetEnvironmentVariableW(L"LOCALAPPDATA", out, static_cast<DWORD>(capacity));
  if (n == 0 || n >= capacity) return false;
  return std::wcslen(out) + std::wcslen(kFolder) + std::wcslen(kOldLogName) < capacity &&
         std::wcscat(out, kFolder) != nullptr;
}

HANDLE OpenForAppend(const wchar_t* path) noexcept {
  // Append-only access: every WriteFile lands at the end as one piece, whoever
  // else appends. Others may read, append, and move the file while it is open.
  return CreateFileW(path, FILE_APPEND_DATA | FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                     OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

bool FileSize(HANDLE file, uint64_t& size) noexcept {
  LARGE_INTEGER s{};
  if (!GetFileSizeEx(file, &s)) return false;
  size = static_cast<uint64_t>(s.QuadPart);
  return true;
}

// Held around each append, and the move of a full log: a local file's
// append is one piece on Windows, but not under Wine, where two processes
// could mix their lines. Writing takes microseconds, so a caller waits at
// most this long, and only when another process is writing at that moment;
// without the mutex it appends all the same and never moves the file.
constexpr DWORD kMutexWaitMs = 5;

bool TakeMutex(HANDLE mutex) noexcept {
  if (!mutex) return false;
  const DWORD waited = WaitForSingleObject(mutex, kMutexWaitMs);
  return waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
}

}  // namespace

bool NetworkLogPath(wchar_t* out, size_t capacity, bool previous) noexcept {
  if (!LogFolder(out, capacity)) return false;
  std::wcscat(out, previous ? kOldLogName : kLogName);
  return true;
}

void AppendNetworkLogLineUtf8(const char* text, size_t size) noexcept {
  wchar_t path[kPathChars], oldPath[kPathChars], folder[kPathChars];
  if (!LogFolder(folder, kPathChars) || !NetworkLogPath(path, kPathChars) ||
      !NetworkLogPath(oldPath, kPathChars, true))
    return;
  SYSTEMTIME now;
  GetLocalTime(&now);
  const LogTime time{now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond, now.wMilliseconds};
  char line[kLogMaxLineBytes];
  const size_t lineBytes = FormatLogLine(time, text, size, line, sizeof line);
  if (lineBytes == 0) return;

  // Opened before the mutex is taken, so that it is held for the write alone.
  HANDLE file = OpenForAppend(path);
  if (file == INVALID_HANDLE_VALUE && GetLastError() == ERROR_PATH_NOT_FOUND) {
    CreateDirectoryW(folder, nullptr);
    file = OpenForAppend(path);
  }
  if (file == INVALID_HANDLE_VALUE) return;
  HANDLE mutex = CreateMutexW(nullptr, FALSE, kLogMutex);
  const bool owned = TakeMutex(mutex);
  uint64_t fileBytes = 0;
  if (owned && FileSize(file, fileBytes) && LogNeedsRotation(fileBytes, lineBytes)) {
    // Another process may have moved it between our open and the mutex: look again by name.
    CloseHandle(file);
    file = OpenForAppend(path);
    if (file != INVALID_HANDLE_VALUE && FileSize(file, fileBytes) && LogNeedsRotation(fileBytes, lineBytes)) {
      CloseHandle(file);
      MoveFileExW(path, oldPath, MOVEFILE_REPLACE_EXISTING);
      file = OpenForAppend(path);
    }
  }
  if (file != INVALID_HANDLE_VALUE) {
    DWORD written = 0;
    WriteFile(file, line, static_cast<DWORD>(lineBytes), &written, nullptr);
  }
  if (owned) ReleaseMutex(mutex);
  if (mutex) CloseHandle(mutex);
  if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
}

void AppendNetworkLogLine(const wchar_t* text) noexcept {
  char utf8[kLogMaxLineBytes];
  // Too long for the buffer: as much as fits, cut at a character.
  int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, sizeof utf8, nullptr, nullptr);
  if (n == 0) {
    size_t chars = std::wcslen(text);
    if (chars > (sizeof utf8 - 1) / 4) chars = (sizeof utf8 - 1) / 4;
    n = WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(chars), utf8, sizeof utf8, nullptr, nullptr);
    if (n == 0) return;
    utf8[n] = '\0';
    ++n;
  }
  AppendNetworkLogLineUtf8(utf8, static_cast<size_t>(n - 1));
}

}  // namespace selvane::net
