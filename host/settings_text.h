#pragma once
#include <cstdint>
#include <string>
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

// Decimal text of a Long: a minus sign for negatives, no leading zeros, no blanks.
std::u16string FormatLongText(int32_t value);

}  // namespace selvane
