#pragma once
// Appends event lines to %LOCALAPPDATA%\Selvane\Selvane-Netzwerk.log, the log a
// lighting user sends to whoever helps them. Called on events only (output
// started, a problem, recovery, unload), never per frame. It never waits and
// never fails its caller: a line that cannot be written is dropped. Several
// processes append at once without mixing lines. No allocation, no exceptions:
// usable inside the interface libraries.
#include <cstddef>

namespace selvane::net {

// One event, UTF-16 or UTF-8, without the time (added here) or a line end.
void AppendNetworkLogLine(const wchar_t* text) noexcept;
void AppendNetworkLogLineUtf8(const char* text, size_t size) noexcept;

// The log's full path, or its previous generation's (Selvane-Netzwerk.old.log);
// false when %LOCALAPPDATA% is not set or the path does not fit.
bool NetworkLogPath(wchar_t* out, size_t capacity, bool previous = false) noexcept;

}  // namespace selvane::net
