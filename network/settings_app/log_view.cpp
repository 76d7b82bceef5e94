#include "log_view.h"

#include <windows.h>

#include "network_log.h"
#include "unique_any.h"
#include "utf8_text.h"

namespace selvane::netsettings {

std::wstring WholeLinesOf(const std::string& tail, bool startsInsideLine) {
  size_t start = 0;
  if (startsInsideLine) {
    const size_t nl = tail.find('\n');
    start = nl == std::string::npos ? tail.size() : nl + 1;
  }
  std::wstring text;
  for (size_t pos = start; pos < tail.size();) {
    size_t end = tail.find('\n', pos);
    if (end == std::string::npos) end = tail.size();
    std::string_view line(tail.data() + pos, end - pos);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    text += Utf8ToWide(line);
    text += L"\r\n";
    pos = end + 1;
  }
  return text;
}

std::wstring LastLogLines() {
  wchar_t path[MAX_PATH + 64];
  if (!net::NetworkLogPath(path, sizeof path / sizeof *path)) return L"(%LOCALAPPDATA% ist nicht gesetzt)";
  HANDLE opened = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (opened == INVALID_HANDLE_VALUE) return L"(noch keine Ereignisse)";
  unique_handle file(opened);
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file.get(), &size)) return L"";
  const LONGLONG from = size.QuadPart > static_cast<LONGLONG>(kLogViewBytes) ? size.QuadPart - kLogViewBytes : 0;
  LARGE_INTEGER at{};
  at.QuadPart = from;
  std::string tail(static_cast<size_t>(size.QuadPart - from), '\0');
  DWORD got = 0;
  if (!SetFilePointerEx(file.get(), at, nullptr, FILE_BEGIN) ||
      !ReadFile(file.get(), tail.data(), static_cast<DWORD>(tail.size()), &got, nullptr))
    return L"";
  tail.resize(got);
  return WholeLinesOf(tail, from > 0);
}

}  // namespace selvane::netsettings
