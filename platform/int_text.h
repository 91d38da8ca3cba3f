// Integer texts.
//
// Options, configuration values and transponder file fields are all read by
// one conversion: leading blanks skipped, an optional "+" or "-", then
// decimal digits, or hexadecimal digits after "$" or "0x"; the whole rest of
// the text must belong to the number. Anything else is "not an integer" and
// the caller falls back to its own default.
#ifndef KAVREL_PLATFORM_INT_TEXT_H
#define KAVREL_PLATFORM_INT_TEXT_H

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kavrel {

// The value of an integer text, or nothing when the text is not one.
// Decimal values must fit a signed 32-bit integer; hexadecimal values of up
// to eight digits wrap into it the way a 32-bit register would ($FFFFFFFF is
// -1).
std::optional<int32_t> ParseIntegerText(std::string_view text);

// ParseIntegerText with a fallback.
int32_t IntegerTextOr(std::string_view text, int32_t fallback);

// Strict decimal whole number: optional leading blanks, an optional sign and
// decimal digits with nothing after them (" 3" is 3; "3 " and "3/4" are not
// numbers). Used by the page readers.
std::optional<int32_t> ParseWholeNumber(std::string_view text);

// ParseWholeNumber, 0 for anything that is not a whole number.
int32_t WholeNumberOrZero(std::string_view text);

// A number with a decimal comma, as European pages and files write it: an
// optional sign, digits, optionally "," and more digits (at least one digit
// in all), optionally "e" or "E", an optional sign and at least one digit;
// nothing else, not even blanks. Nothing for any other text and for values
// beyond the range of a double.
std::optional<double> ParseDecimalComma(std::string_view text);

// A text of decimal digits and nothing else (no sign, no blank), as HTTP
// fields and channel files write counts; any number of leading zeros.
// Nothing for any other text and beyond 19 significant digits, so the
// value always fits.
std::optional<uint64_t> PlainDigitsValue(std::string_view text);

// Decimal text of a signed integer.
std::string DecimalText(int64_t value);

// Decimal text zero-padded to at least `digits` digits, as printf "%.Nd"
// does (a minus sign does not count as a digit).
std::string PaddedDecimalText(int64_t value, int digits);

}  // namespace kavrel

#endif
