#pragma once
// Reading Selvane.network.ini, and replacing it atomically: a library that
// reads it meanwhile sees the old file or the new one, never half of one.
#include <windows.h>

#include <string>

namespace selvane::netsettings {

enum class ReadOutcome { Read, Missing, Failed };

// At most one byte more than the libraries accept, so a file too large stays too large.
ReadOutcome ReadSettingsFile(const wchar_t* path, std::string& text, DWORD& error);

// The temporary file beside `path` that a save writes first.
std::wstring TemporaryPathFor(const wchar_t* path);

// Writes `text` whole to the temporary file and flushes it; 0 or a Win32 error.
DWORD WriteTemporaryFile(const std::wstring& temporary, const std::string& text);

// Puts the temporary file in the place of `path` by one rename; 0 or a Win32 error.
DWORD ReplaceWithTemporaryFile(const std::wstring& temporary, const wchar_t* path);

// Both, creating the file's folder if needed; on failure nothing is left
// behind and the file is untouched. 0 or a Win32 error.
DWORD SaveSettingsFile(const wchar_t* path, const std::string& text);

// A Win32 error as the system words it, without the line end.
std::wstring SystemMessage(DWORD error);

}  // namespace selvane::netsettings
