#include "config_file.h"

namespace selvane::net {

void ConfigFile::Locate(HMODULE module) {
  wchar_t path[MAX_PATH];
  const DWORD n = GetModuleFileNameW(module, path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return;
  DWORD slash = n;
  while (slash > 0 && path[slash - 1] != L'\\' && path[slash - 1] != L'/') --slash;
  constexpr wchar_t kName[] = L"Selvane.network.ini";
  if (slash + sizeof kName / sizeof kName[0] > MAX_PATH) return;
  lstrcpynW(path + slash, kName, MAX_PATH - static_cast<int>(slash));
  lstrcpynW(path_, path, MAX_PATH);
}

bool ConfigFile::Refresh(ULONGLONG nowMs, ConfigResult& result) {
  if (looked_ && nowMs - lastLookMs_ < 1000) return false;
  const bool first = !looked_;
  looked_ = true;
  lastLookMs_ = nowMs;

  WIN32_FILE_ATTRIBUTE_DATA data;
  const bool present = path_[0] && GetFileAttributesExW(path_, GetFileExInfoStandard, &data) &&
                       !(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
  const ULONGLONG size = present ? (ULONGLONG{data.nFileSizeHigh} << 32) | data.nFileSizeLow : 0;
  const bool reread = reread_;
  reread_ = false;
  if (!first && !reread && present == present_ &&
      (!present || (CompareFileTime(&data.ftLastWriteTime, &written_) == 0 && size == size_)))
    return false;
  present_ = present;
  size_ = size;
  if (present) written_ = data.ftLastWriteTime;

  result = ConfigResult{};
  if (!present) {
    result.problem = ConfigProblem::NoFile;
    return true;
  }
  if (size > kMaxConfigFileBytes) {
    result.problem = ConfigProblem::TooLarge;
    return true;
  }
  HANDLE file = CreateFileW(path_, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  DWORD read = 0;
  const bool ok = file != INVALID_HANDLE_VALUE && ReadFile(file, text_, kMaxConfigFileBytes + 1, &read, nullptr);
  if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  if (!ok) {
    result.problem = ConfigProblem::Unreadable;
    reread_ = true;
    return true;
  }
  result = ParseNetworkConfig(text_, read);
  return true;
}

}  // namespace selvane::net
