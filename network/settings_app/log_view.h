#pragma once
// The last lines of Selvane-Netzwerk.log for the window, newest last.
#include <string>

namespace selvane::netsettings {

inline constexpr size_t kLogViewBytes = 16 * 1024;  // the tail that is read

std::wstring LastLogLines();

// The whole lines at the end of `tail` (which may start inside a line),
// with Windows line ends for an edit control. UTF-8 in, UTF-16 out.
std::wstring WholeLinesOf(const std::string& tail, bool startsInsideLine);

}  // namespace selvane::netsettings
