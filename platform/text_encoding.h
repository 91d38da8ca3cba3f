// Latin-1 and UTF-8: sources write names in one or the other, and each
// output format holds one of them.
#ifndef KAVREL_PLATFORM_TEXT_ENCODING_H
#define KAVREL_PLATFORM_TEXT_ENCODING_H

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kavrel {

// Every byte as the character of that number.
std::string Utf8FromLatin1(std::string_view text);

// Characters up to U+00FF as their byte; any other character, and every
// byte that is not part of a valid UTF-8 sequence, as "?".
std::string Latin1FromUtf8(std::string_view text);

// The text with every byte that is not part of a valid UTF-8 sequence
// replaced by U+FFFD, so that a UTF-8 file stays valid whatever came in.
std::string ValidUtf8(std::string_view text);

// The code point of the valid UTF-8 sequence at text[at] and its length,
// or nothing for an invalid or cut sequence.
struct Utf8Char {
  uint32_t codePoint;
  size_t length;
};
std::optional<Utf8Char> DecodeUtf8At(std::string_view text, size_t at);

// The UTF-8 bytes of a code point (nothing for surrogates or beyond
// U+10FFFF).
std::optional<std::string> Utf8Of(uint32_t codePoint);

}  // namespace kavrel

#endif
