#include "settings_text.h"

#include <gtest/gtest.h>

#include <clocale>
#include <limits>

using selvane::AutomationError;
using selvane::FormatLongText;
using selvane::ParseLongText;

namespace {

void ExpectValue(std::u16string_view text, int32_t value) {
  const auto r = ParseLongText(text);
  EXPECT_EQ(r.error, AutomationError::None);
  EXPECT_EQ(r.value, value);
}

void ExpectError(std::u16string_view text, AutomationError error) {
  EXPECT_EQ(ParseLongText(text).error, error);
}

}  // namespace

TEST(SettingsText, AcceptsSignsDigitsAndSurroundingBlanks) {
  ExpectValue(u"510", 510);
  ExpectValue(u"64", 64);
  ExpectValue(u"0", 0);
  ExpectValue(u"-0", 0);
  ExpectValue(u"-120", -120);
  ExpectValue(u"+120", 120);
  ExpectValue(u"  120  ", 120);
  ExpectValue(u"\t120\t", 120);
  ExpectValue(u"000120", 120);
  ExpectValue(u"2147483647", std::numeric_limits<int32_t>::max());
  ExpectValue(u"-2147483648", std::numeric_limits<int32_t>::min());
  ExpectValue(u"00000000000000000000000042", 42);
}

TEST(SettingsText, EverythingElseIsATypeMismatch) {
  for (std::u16string_view text :
       {u"", u" ", u"\t \t", u"-", u"+", u"abc", u"12a", u"a12", u"1 2", u"- 5", u"--5", u"+-5",
        u"1.5", u"1,5", u"1e3", u"0x10", u"&H10", u"\u0661\u0662", u"\uff11\uff12", u"12\u00a0",
        u"\n12", u"12\r"}) {
    SCOPED_TRACE(std::string(text.begin(), text.end()));
    ExpectError(text, AutomationError::TypeMismatch);
  }
  // An embedded NUL is not a digit either.
  ExpectError(std::u16string_view(u"12\0" "3", 4), AutomationError::TypeMismatch);
}

TEST(SettingsText, NumbersOutsideTheLongRangeOverflow) {
  ExpectError(u"2147483648", AutomationError::Overflow);
  ExpectError(u"-2147483649", AutomationError::Overflow);
  ExpectError(u"99999999999999999999999999", AutomationError::Overflow);
  ExpectError(u" -99999999999999999999 ", AutomationError::Overflow);
  // Non-digits decide over size: it is not a number at all.
  ExpectError(u"99999999999999999999x", AutomationError::TypeMismatch);
}

TEST(SettingsText, FormatWritesPlainDecimalAndRoundTrips) {
  EXPECT_EQ(FormatLongText(64), u"64");
  EXPECT_EQ(FormatLongText(0), u"0");
  EXPECT_EQ(FormatLongText(-7), u"-7");
  EXPECT_EQ(FormatLongText(std::numeric_limits<int32_t>::min()), u"-2147483648");
  EXPECT_EQ(FormatLongText(std::numeric_limits<int32_t>::max()), u"2147483647");
  for (int32_t v : {1, 9, 10, 99, 100, 120, 510, 512, -1, -510, 1000000, -1000000}) {
    const auto r = ParseLongText(FormatLongText(v));
    EXPECT_EQ(r.error, AutomationError::None);
    EXPECT_EQ(r.value, v);
  }
}

TEST(SettingsText, DoesNotDependOnTheLocale) {
  // A German locale uses '.' for grouping and ',' for decimals; neither matters here.
  ASSERT_NE(std::setlocale(LC_ALL, "de_DE.UTF-8"), nullptr)
      << "the locale de_DE.UTF-8 is not installed: run tools/install-deps.sh as root";
  const std::lconv* german = std::localeconv();
  EXPECT_STREQ(german->decimal_point, ",") << "the German locale is active";
  EXPECT_STREQ(german->thousands_sep, ".");
  ExpectValue(u"120", 120);
  ExpectValue(u" 1200 ", 1200);
  ExpectError(u"1.200", AutomationError::TypeMismatch);
  ExpectError(u"1,5", AutomationError::TypeMismatch);
  EXPECT_EQ(FormatLongText(1200), u"1200");
  EXPECT_EQ(FormatLongText(-1234567), u"-1234567");
  std::setlocale(LC_ALL, "C");
}
