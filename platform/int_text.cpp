#include "platform/int_text.h"

#include "platform/text.h"

#include <charconv>
#include <cstdio>

namespace kavrel {

namespace {

int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

namespace {

// Decimal digits from `i` to the end of the text, with the sign already
// read; nothing when a byte is no digit or the value leaves 32 bits.
std::optional<int32_t> DecimalDigits(std::string_view text, size_t i, bool negative) {
  if (i >= text.size()) return std::nullopt;
  int64_t value = 0;
  for (; i < text.size(); ++i) {
    char c = text[i];
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
    if (value > 2147483648LL) return std::nullopt;
  }
  if (negative) value = -value;
  if (value > INT32_MAX || value < INT32_MIN) return std::nullopt;
  return static_cast<int32_t>(value);
}

// Leading blanks and an optional sign; returns where the digits start.
size_t SkipBlanksAndSign(std::string_view text, bool& negative) {
  size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  return i;
}

}  // namespace

std::optional<int32_t> ParseIntegerText(std::string_view text) {
  // Most texts are a few plain digits, which always fit: read them at once.
  if (!text.empty() && text.size() <= 9) {
    int32_t value = 0;
    size_t i = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) value = value * 10 + (text[i] - '0');
    if (i == text.size()) return value;
  }
  bool negative;
  size_t i = SkipBlanksAndSign(text, negative);
  bool hex = false;
  if (i < text.size() && text[i] == '$') {
    hex = true;
    ++i;
  } else if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
    hex = true;
    i += 2;
  }
  if (!hex) return DecimalDigits(text, i, negative);
  if (i >= text.size()) return std::nullopt;
  uint64_t value = 0;
  for (; i < text.size(); ++i) {
    int d = HexDigitValue(text[i]);
    if (d < 0) return std::nullopt;
    value = value * 16 + static_cast<uint64_t>(d);
    if (value > 0xFFFFFFFFull) return std::nullopt;
  }
  uint32_t bits = static_cast<uint32_t>(value);
  if (negative) bits = 0u - bits;
  return static_cast<int32_t>(bits);
}

int32_t IntegerTextOr(std::string_view text, int32_t fallback) {
  return ParseIntegerText(text).value_or(fallback);
}

std::optional<int32_t> ParseWholeNumber(std::string_view text) {
  bool negative;
  size_t i = SkipBlanksAndSign(text, negative);
  return DecimalDigits(text, i, negative);
}

int32_t WholeNumberOrZero(std::string_view text) { return ParseWholeNumber(text).value_or(0); }

std::optional<double> ParseDecimalComma(std::string_view text) {
  // from_chars wants a decimal point: the text is copied with the comma
  // replaced, once its shape is known to be right.
  std::string plain;
  size_t i = 0;
  auto digits = [&] {
    size_t count = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') plain += text[i++], ++count;
    return count;
  };
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    if (text[i] == '-') plain += '-';
    ++i;
  }
  size_t mantissaDigits = digits();
  if (i < text.size() && text[i] == ',') {
    plain += '.';
    ++i;
    mantissaDigits += digits();
  }
  if (mantissaDigits == 0) return std::nullopt;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    plain += 'e';
    ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) plain += text[i++];
    if (digits() == 0) return std::nullopt;
  }
  if (i != text.size()) return std::nullopt;
  double value = 0;
  auto [end, error] = std::from_chars(plain.data(), plain.data() + plain.size(), value);
  if (error != std::errc() || end != plain.data() + plain.size()) return std::nullopt;
  return value;
}

std::optional<uint64_t> PlainDigitsValue(std::string_view text) {
  if (text.empty()) return std::nullopt;
  size_t first = 0;
  while (first + 1 < text.size() && text[first] == '0') ++first;
  constexpr size_t kMaxSignificant = 19;
  if (text.size() - first > kMaxSignificant) return std::nullopt;
  uint64_t value = 0;
  for (char c : text) {
    if (!IsAsciiDigit(c)) return std::nullopt;
    value = value * 10 + static_cast<uint64_t>(c - '0');
  }
  return value;
}

std::string DecimalText(int64_t value) { return std::to_string(value); }

std::string PaddedDecimalText(int64_t value, int digits) {
  char buffer[48];
  std::snprintf(buffer, sizeof buffer, "%.*lld", digits, static_cast<long long>(value));
  return buffer;
}

}  // namespace kavrel
