// Fuzzes ParseLongText and FormatLongText against a model that validates with
// an explicit state machine and judges the range by comparing digit strings.
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "settings_text.h"

using selvane::AutomationError;

namespace {

// Characters near the grammar's edges: blanks, signs, digits, and look-alikes
// that must be rejected (NUL, newline, no-break space, full-width zero).
constexpr char16_t kAlphabet[] = {u' ', u'\t', u'+', u'-', u'0', u'1', u'2', u'3', u'4',
                                  u'5', u'6', u'7', u'8', u'9', u'a', u'.', u',', u'\0',
                                  u'\n', u'\u00A0', u'\uFF10', u'4', u'7', u'8'};
constexpr std::size_t kAlphabetSize = sizeof kAlphabet / sizeof kAlphabet[0];

struct Expected {
  AutomationError error;
  int32_t value;
};

Expected Model(std::u16string_view text) {
  enum class State { Lead, Sign, Digits, Trail } state = State::Lead;
  bool negative = false;
  std::string digits;
  const auto blank = [](char16_t c) { return c == u' ' || c == u'\t'; };
  const auto digit = [](char16_t c) { return c >= u'0' && c <= u'9'; };
  for (char16_t c : text) {
    switch (state) {
      case State::Lead:
        if (blank(c)) break;
        if (c == u'+' || c == u'-') {
          negative = c == u'-';
          state = State::Sign;
        } else if (digit(c)) {
          digits.push_back(static_cast<char>(c));
          state = State::Digits;
        } else {
          return {AutomationError::TypeMismatch, 0};
        }
        break;
      case State::Sign:
        if (!digit(c)) return {AutomationError::TypeMismatch, 0};
        digits.push_back(static_cast<char>(c));
        state = State::Digits;
        break;
      case State::Digits:
        if (digit(c)) {
          digits.push_back(static_cast<char>(c));
        } else if (blank(c)) {
          state = State::Trail;
        } else {
          return {AutomationError::TypeMismatch, 0};
        }
        break;
      case State::Trail:
        if (!blank(c)) return {AutomationError::TypeMismatch, 0};
        break;
    }
  }
  if (state != State::Digits && state != State::Trail) return {AutomationError::TypeMismatch, 0};

  const std::size_t firstNonZero = digits.find_first_not_of('0');
  const std::string magnitude = firstNonZero == std::string::npos ? "0" : digits.substr(firstNonZero);
  const std::string limit = negative ? "2147483648" : "2147483647";
  if (magnitude.size() > limit.size() || (magnitude.size() == limit.size() && magnitude > limit))
    return {AutomationError::Overflow, 0};

  long double v = 0;  // exact: at most ten digits
  for (char d : magnitude) v = v * 10 + (d - '0');
  if (negative) v = -v;
  return {AutomationError::None, static_cast<int32_t>(static_cast<long long>(v))};
}

std::u16string ModelFormat(int32_t value) {
  char narrow[16];
  const auto result = std::to_chars(narrow, narrow + sizeof narrow, value);
  return std::u16string(narrow, result.ptr);
}

void CheckFormat(int32_t value) {
  const std::u16string text(selvane::FormatLongText(value).view());
  FUZZ_CHECK(text == ModelFormat(value), "FormatLongText text");
  FUZZ_CHECK(!text.empty(), "FormatLongText empty");
  const std::size_t first = text[0] == u'-' ? 1 : 0;
  FUZZ_CHECK((first == 1) == (value < 0), "FormatLongText sign");
  FUZZ_CHECK(first < text.size(), "FormatLongText sign only");
  FUZZ_CHECK(text[first] != u'0' || text == u"0", "FormatLongText leading zero");
  for (std::size_t i = first; i < text.size(); ++i)
    FUZZ_CHECK(text[i] >= u'0' && text[i] <= u'9', "FormatLongText non-digit");

  const auto back = selvane::ParseLongText(text);
  FUZZ_CHECK(back.error == AutomationError::None && back.value == value, "round trip");
  // The same text with blanks and an explicit plus sign still reads back.
  const std::u16string padded = value >= 0 ? u" \t+" + text + u"\t " : u"\t " + text + u" ";
  const auto paddedBack = selvane::ParseLongText(padded);
  FUZZ_CHECK(paddedBack.error == AutomationError::None && paddedBack.value == value,
             "padded round trip");
}

// Builds a number-like text around magnitudes at the range edges, so that
// both sides of every boundary are reached without the fuzzer guessing them.
std::u16string Structured(FuzzReader& in) {
  std::u16string text;
  const uint8_t lead = in.Byte();
  for (int i = 0; i < (lead & 3); ++i) text.push_back(lead & 4 ? u'\t' : u' ');
  const uint8_t sign = in.Byte() % 3;
  if (sign == 1) text.push_back(u'+');
  if (sign == 2) text.push_back(u'-');
  const uint8_t zeros = in.Byte() % 4;
  text.append(zeros, u'0');

  const uint8_t pick = in.Byte();
  const uint64_t raw = in.Bits(8);
  const int delta = static_cast<int>(raw % 7) - 3;
  uint64_t magnitude;
  switch (pick % 4) {
    case 0: magnitude = raw; break;
    case 1: magnitude = static_cast<uint64_t>(2147483647LL + delta); break;
    case 2: magnitude = static_cast<uint64_t>(2147483648LL + delta); break;
    default: magnitude = raw % 1000; break;
  }
  const std::string digits = std::to_string(magnitude);
  text.append(digits.begin(), digits.end());

  const uint8_t trail = in.Byte();
  for (int i = 0; i < (trail & 3); ++i) text.push_back(trail & 4 ? u' ' : u'\t');
  const uint8_t junk = in.Byte();
  if (junk & 0x80) text.insert(text.begin() + junk % (text.size() + 1), kAlphabet[junk % kAlphabetSize]);
  return text;
}

std::u16string Decode(const uint8_t* data, std::size_t size) {
  FuzzReader in{data, size};
  const uint8_t mode = in.Byte() % 3;
  std::u16string text;
  if (mode == 0) {
    while (in.size >= 2) {
      const uint8_t lo = in.Byte();
      text.push_back(static_cast<char16_t>(lo | in.Byte() << 8));
    }
  } else if (mode == 1) {
    while (in.size > 0) text.push_back(kAlphabet[in.Byte() % kAlphabetSize]);
  } else {
    text = Structured(in);
  }
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::u16string text = Decode(data, size);
  const auto actual = selvane::ParseLongText(text);
  const Expected expected = Model(text);
  FUZZ_CHECK(actual.error == expected.error, "ParseLongText error");
  if (expected.error == AutomationError::None) {
    FUZZ_CHECK(actual.value == expected.value, "ParseLongText value");
    CheckFormat(actual.value);
  }

  int32_t raw = 0;
  if (size >= 4) std::memcpy(&raw, data + size - 4, sizeof raw);
  CheckFormat(raw);
  if (size > 0) {
    constexpr int32_t kEdges[] = {INT32_MIN, INT32_MIN + 1, -1, 0, 1, 9, 10, INT32_MAX - 1, INT32_MAX};
    CheckFormat(kEdges[data[0] % (sizeof kEdges / sizeof kEdges[0])]);
  }
  return 0;
}
