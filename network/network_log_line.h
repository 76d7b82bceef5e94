#pragma once
// The support log of the network libraries, Selvane-Netzwerk.log: one line per
// event, with the local date and time. The line format and the size bound,
// plain C++ so they are tested natively; the appender that writes the file is
// network_log.h.
#include <cstddef>
#include <cstdint>

namespace selvane::net {

// Past this size the log moves to Selvane-Netzwerk.old.log and a new one starts.
inline constexpr uint64_t kLogMaxBytes = 256 * 1024;
// The longest line written, with its date, time and line end.
inline constexpr size_t kLogMaxLineBytes = 1024;

// A local time as the system hands it out, broken down.
struct LogTime {
  int year, month, day, hour, minute, second, millisecond;
};

// "2026-12-09 07:01:02.345  <text>\r\n" into `out`; returns its length in
// bytes (0 if `capacity` cannot hold even the time). `text` is UTF-8: a line
// end inside it becomes a blank so that one event stays one line, and a text
// too long is cut at a character boundary.
size_t FormatLogLine(const LogTime& time, const char* text, size_t textSize, char* out, size_t capacity);

// Whether the log must move aside before a line of `lineBytes` is appended to
// a file of `fileBytes`, so that it never grows past kLogMaxBytes.
bool LogNeedsRotation(uint64_t fileBytes, size_t lineBytes);

}  // namespace selvane::net
