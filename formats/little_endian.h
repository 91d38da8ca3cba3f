// Little-endian fields of the binary formats, appended to and read from
// byte strings one field at a time (never by copying structs, whose layout
// and byte order belong to the compiler and the machine).
#ifndef KAVREL_FORMATS_LITTLE_ENDIAN_H
#define KAVREL_FORMATS_LITTLE_ENDIAN_H

#include <cstdint>
#include <string>
#include <string_view>

namespace kavrel {

// Appends the low `width` bytes of `value`, least significant first.
inline void AppendLittleEndian(std::string& bytes, uint64_t value, int width) {
  for (int i = 0; i < width; ++i) bytes.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

inline void AppendLe16(std::string& bytes, uint32_t value) { AppendLittleEndian(bytes, value, 2); }
inline void AppendLe24(std::string& bytes, uint32_t value) { AppendLittleEndian(bytes, value, 3); }
inline void AppendLe32(std::string& bytes, uint32_t value) { AppendLittleEndian(bytes, value, 4); }

// Stores the low `width` bytes of `value` at `at`, least significant
// first: for records assembled in a fixed buffer.
inline void StoreLittleEndian(char* at, uint64_t value, int width) {
  for (int i = 0; i < width; ++i) at[i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

// Appends `text` in a field of exactly `width` bytes: cut when longer,
// padded with NULs when shorter (a text that fills the field has no NUL).
inline void AppendFixedText(std::string& bytes, std::string_view text, size_t width) {
  std::string_view kept = text.substr(0, width);
  bytes.append(kept);
  bytes.append(width - kept.size(), '\0');
}

// Appends `count` zero bytes.
inline void AppendZeros(std::string& bytes, size_t count) { bytes.append(count, '\0'); }

// The 32-bit little-endian value at `offset`; the caller checks the bounds.
inline uint32_t ReadLe32(std::string_view bytes, size_t offset) {
  uint32_t value = 0;
  for (int i = 3; i >= 0; --i) {
    value = (value << 8) | static_cast<unsigned char>(bytes[offset + static_cast<size_t>(i)]);
  }
  return value;
}

// The text of a NUL-padded field: its bytes up to the first NUL, or all of
// them when the text fills the field.
inline std::string_view FixedText(std::string_view field) {
  size_t nul = field.find('\0');
  return nul == std::string_view::npos ? field : field.substr(0, nul);
}

}  // namespace kavrel

#endif
