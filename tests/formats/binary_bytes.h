// Byte strings for the tests of the binary formats, spelled out field by
// field, independently of the writers' own helpers.
#ifndef KAVREL_TESTS_FORMATS_BINARY_BYTES_H
#define KAVREL_TESTS_FORMATS_BINARY_BYTES_H

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

namespace kavrel::testing {

class Bytes {
 public:
  Bytes& U8(unsigned value) {
    text_.push_back(static_cast<char>(value));
    return *this;
  }
  Bytes& U16(unsigned value) { return U8(value % 256).U8(value / 256 % 256); }
  Bytes& U24(unsigned long value) { return U16(value % 65536).U8(value / 65536 % 256); }
  Bytes& I32(int64_t value) {
    uint32_t bits = static_cast<uint32_t>(value);
    return U16(bits % 65536).U16(bits / 65536);
  }
  Bytes& Raw(std::string_view text) {
    text_.append(text);
    return *this;
  }
  Bytes& List(std::initializer_list<unsigned> values) {
    for (unsigned v : values) U8(v);
    return *this;
  }
  // Text padded with NULs to `width` bytes.
  Bytes& Padded(std::string_view text, size_t width) {
    text_.append(text);
    text_.append(width - text.size(), '\0');
    return *this;
  }
  Bytes& Zeros(size_t count) {
    text_.append(count, '\0');
    return *this;
  }
  size_t size() const { return text_.size(); }
  const std::string& str() const { return text_; }
  operator std::string() const { return text_; }

 private:
  std::string text_;
};

// Sum of the bytes of a range, modulo 65536.
inline unsigned SumOf(std::string_view bytes) {
  unsigned sum = 0;
  for (char c : bytes) sum += static_cast<unsigned char>(c);
  return sum % 65536;
}

}  // namespace kavrel::testing

#endif
