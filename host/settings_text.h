#pragma once
#include <cstdint>
#include <string_view>

#include "automation_error.h"

namespace selvane {

struct LongFromText {
  int32_t value;
  AutomationError error;  // None on success
};

// Converts stored settings text to a Long, independently of the user's locale:
// optional blanks (space, tab) around an optional sign and ASCII decimal digits.
// Anything else, the empty text included, is TypeMismatch; a number outside the
// 32-bit signed range is Overflow.
LongFromText ParseLongText(std::u16string_view text);

// Decimal text of a Long, held in place: the settings record writes it
// without allocating.
struct LongText {
  char16_t chars[12];  // "-2147483648" and a terminating NUL
  std::size_t length;

  std::u16string_view view() const { return {chars, length}; }
  operator std::u16string_view() const { return view(); }
  friend bool operator==(const LongText& text, std::u16string_view other) { return text.view() == other; }
};

// Decimal text of a Long: a minus sign for negatives, no leading zeros, no blanks.
LongText FormatLongText(int32_t value);

}  // namespace selvane
