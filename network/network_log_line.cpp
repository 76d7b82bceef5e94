#include "network_log_line.h"

#include <cstdio>

namespace selvane::net {
namespace {

bool IsContinuationByte(char c) { return (static_cast<unsigned char>(c) & 0xc0) == 0x80; }

}  // namespace

size_t FormatLogLine(const LogTime& t, const char* text, size_t textSize, char* out, size_t capacity) {
  constexpr size_t kLineEnd = 2;
  const int stamp = std::snprintf(out, capacity, "%04d-%02d-%02d %02d:%02d:%02d.%03d  ", t.year, t.month, t.day,
                                  t.hour, t.minute, t.second, t.millisecond);
  if (stamp < 0 || static_cast<size_t>(stamp) + kLineEnd >= capacity) return 0;
  size_t n = static_cast<size_t>(stamp);
  size_t room = capacity - n - kLineEnd - 1;  // and the terminating zero
  if (textSize > room) {
    // Cut before a character that does not fit whole.
    while (room > 0 && IsContinuationByte(text[room])) --room;
    textSize = room;
  }
  for (size_t i = 0; i < textSize; ++i) out[n++] = text[i] == '\r' || text[i] == '\n' ? ' ' : text[i];
  out[n++] = '\r';
  out[n++] = '\n';
  out[n] = '\0';
  return n;
}

bool LogNeedsRotation(uint64_t fileBytes, size_t lineBytes) { return fileBytes + lineBytes > kLogMaxBytes; }

}  // namespace selvane::net
