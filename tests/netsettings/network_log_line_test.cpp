// The support log's line format and its size bound.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "network_log_line.h"

namespace selvane::net {
namespace {

constexpr LogTime kEvening{2026, 12, 9, 19, 5, 7, 45};

std::string Line(const std::string& text, size_t capacity = kLogMaxLineBytes) {
  std::string out(capacity, '?');
  const size_t n = FormatLogLine(kEvening, text.data(), text.size(), out.data(), capacity);
  out.resize(n);
  return out;
}

TEST(NetworkLogLine, LocalDateAndTimeZeroPaddedThenTheTextAndACrLf) {
  EXPECT_EQ("2026-12-09 19:05:07.045  Ausgabe gestartet\r\n", Line("Ausgabe gestartet"));
  const LogTime newYear{2027, 1, 1, 0, 0, 0, 999};
  char out[64];
  ASSERT_EQ(28u, FormatLogLine(newYear, "x", 1, out, sizeof out));
  EXPECT_STREQ("2027-01-01 00:00:00.999  x\r\n", out);
}

TEST(NetworkLogLine, OneEventStaysOneLine) {
  EXPECT_EQ("2026-12-09 19:05:07.045  a b  c\r\n", Line("a\nb\r\nc"));
}

TEST(NetworkLogLine, ATooLongTextIsCutBeforeACharacterThatDoesNotFit) {
  // The stamp takes 25 bytes, the line end 2, the zero 1: 40 leave 12 for the text.
  const std::string umlauts = "\xC3\xA4\xC3\xB6\xC3\xBC\xC3\xA4\xC3\xB6\xC3\xBC\xC3\xA4";  // 7 two-byte characters
  const std::string cut = Line("x" + umlauts, 40);
  EXPECT_EQ("2026-12-09 19:05:07.045  x" + umlauts.substr(0, 10) + "\r\n", cut);
  EXPECT_EQ(39u, Line(std::string(500, 'y'), 40).size());
  EXPECT_EQ(kLogMaxLineBytes - 1, Line(std::string(5000, 'y')).size());
}

TEST(NetworkLogLine, NoRoomForTheTimeGivesNothing) {
  char out[20];
  EXPECT_EQ(0u, FormatLogLine(kEvening, "x", 1, out, sizeof out));
  EXPECT_EQ(0u, FormatLogLine(kEvening, "x", 1, out, 0));
}

TEST(NetworkLogLine, TheLogMovesAsideBeforeALineWouldTakeItPast256KiB) {
  EXPECT_EQ(256u * 1024, kLogMaxBytes);
  EXPECT_FALSE(LogNeedsRotation(0, 100));
  EXPECT_FALSE(LogNeedsRotation(kLogMaxBytes - 100, 100));
  EXPECT_TRUE(LogNeedsRotation(kLogMaxBytes - 99, 100));
  EXPECT_TRUE(LogNeedsRotation(kLogMaxBytes * 3, 1));
}

}  // namespace
}  // namespace selvane::net
