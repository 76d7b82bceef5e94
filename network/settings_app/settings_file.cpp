#include "settings_file.h"

#include "network_config.h"
#include "unique_any.h"

namespace selvane::netsettings {
namespace {

constexpr int kReplaceAttempts = 25;
constexpr DWORD kReplaceRetryMs = 20;

// CreateFileW answers INVALID_HANDLE_VALUE on failure, the owner expects null.
unique_handle OwnFile(HANDLE file) { return unique_handle(file == INVALID_HANDLE_VALUE ? nullptr : file); }

DWORD CreateParentFolder(const wchar_t* path) {
  std::wstring folder(path);
  const size_t slash = folder.find_last_of(L"\\/");
  if (slash == std::wstring::npos) return 0;
  folder.resize(slash);
  if (CreateDirectoryW(folder.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS) return 0;
  return GetLastError();
}

}  // namespace

ReadOutcome ReadSettingsFile(const wchar_t* path, std::string& text, DWORD& error) {
  text.clear();
  error = 0;
  unique_handle file = OwnFile(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                           nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) {
    error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? ReadOutcome::Missing
                                                                           : ReadOutcome::Failed;
  }
  text.resize(net::kMaxConfigFileBytes + 1);
  DWORD got = 0;
  if (!ReadFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &got, nullptr)) {
    error = GetLastError();
    text.clear();
    return ReadOutcome::Failed;
  }
  text.resize(got);
  return ReadOutcome::Read;
}

std::wstring TemporaryPathFor(const wchar_t* path) { return std::wstring(path) + L".tmp"; }

DWORD WriteTemporaryFile(const std::wstring& temporary, const std::string& text) {
  // No sharing: a second program saving at the same moment fails instead of mixing.
  unique_handle file = OwnFile(CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                           FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return GetLastError();
  DWORD written = 0;
  if (!WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) ||
      !FlushFileBuffers(file.get()))
    return GetLastError();
  return written == text.size() ? 0 : ERROR_WRITE_FAULT;
}

DWORD ReplaceWithTemporaryFile(const std::wstring& temporary, const wchar_t* path) {
  // A file that is open cannot be replaced. The libraries hold it open for
  // the microseconds of a read, at most once a second: try again a while.
  DWORD error = 0;
  for (int attempt = 0; attempt < kReplaceAttempts; ++attempt) {
    if (MoveFileExW(temporary.c_str(), path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return 0;
    error = GetLastError();
    if (error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION) break;
    Sleep(kReplaceRetryMs);
  }
  return error;
}

DWORD SaveSettingsFile(const wchar_t* path, const std::string& text) {
  if (const DWORD error = CreateParentFolder(path)) return error;
  const std::wstring temporary = TemporaryPathFor(path);
  DWORD error = WriteTemporaryFile(temporary, text);
  if (!error) error = ReplaceWithTemporaryFile(temporary, path);
  if (error) DeleteFileW(temporary.c_str());
  return error;
}

std::wstring SystemMessage(DWORD error) {
  wchar_t* buffer = nullptr;
  const DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                     FORMAT_MESSAGE_IGNORE_INSERTS,
                                 nullptr, error, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::wstring text = n ? std::wstring(buffer, n) : L"Fehler " + std::to_wstring(error);
  LocalFree(buffer);
  while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ')) text.pop_back();
  return text;
}

}  // namespace selvane::netsettings
