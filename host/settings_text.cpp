#include "settings_text.h"

#include <limits>

namespace selvane {
namespace {

constexpr bool IsBlank(char16_t c) { return c == u' ' || c == u'\t'; }
constexpr bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

}  // namespace

LongFromText ParseLongText(std::u16string_view text) {
  std::size_t begin = 0, end = text.size();
  while (begin < end && IsBlank(text[begin])) ++begin;
  while (end > begin && IsBlank(text[end - 1])) --end;

  bool negative = false;
  if (begin < end && (text[begin] == u'-' || text[begin] == u'+')) {
    negative = text[begin] == u'-';
    ++begin;
  }
  if (begin == end) return {0, AutomationError::TypeMismatch};

  // Accumulate the magnitude; once it passes 2^31 the number can only overflow,
  // but the rest must still be digits for it to be a number at all.
  constexpr int64_t kLimit = int64_t{std::numeric_limits<int32_t>::max()} + 1;
  int64_t magnitude = 0;
  bool tooLarge = false;
  for (std::size_t i = begin; i < end; ++i) {
    if (!IsDigit(text[i])) return {0, AutomationError::TypeMismatch};
    if (!tooLarge) {
      magnitude = magnitude * 10 + (text[i] - u'0');
      tooLarge = magnitude > kLimit;
    }
  }
  if (tooLarge || (!negative && magnitude == kLimit)) return {0, AutomationError::Overflow};
  const int64_t signedValue = negative ? -magnitude : magnitude;
  return {static_cast<int32_t>(signedValue), AutomationError::None};
}

LongText FormatLongText(int32_t value) {
  char16_t digits[10];
  std::size_t n = 0;
  // Work on the magnitude in 64 bits so that the smallest Long has one too.
  int64_t magnitude = value;
  if (magnitude < 0) magnitude = -magnitude;
  do {
    digits[n++] = static_cast<char16_t>(u'0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  LongText text{};
  if (value < 0) text.chars[text.length++] = u'-';
  while (n > 0) text.chars[text.length++] = digits[--n];
  text.chars[text.length] = u'\0';
  return text;
}

}  // namespace selvane
