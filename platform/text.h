// Small byte-string helpers shared by every layer.
//
// Texts are byte strings in the source's own 8-bit encoding; only the ASCII
// letters a to z ever change case.
#ifndef KAVREL_PLATFORM_TEXT_H
#define KAVREL_PLATFORM_TEXT_H

#include <string>
#include <string_view>

namespace kavrel {

// Upper-cases the ASCII letters a to z, leaving every other byte alone.
std::string UpperAscii(std::string_view text);
std::string LowerAscii(std::string_view text);

// True when the two texts are equal apart from ASCII letter case.
bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b);

// "0" to "9" only: no locale, no other digits.
inline bool IsAsciiDigit(char c) { return c >= '0' && c <= '9'; }

// Removes blanks and control characters (bytes 0 to 32) at both ends.
// Inline: readers call it for every field of every line.
inline std::string_view TrimBlanks(std::string_view text) {
  size_t begin = 0, end = text.size();
  while (begin < end && static_cast<unsigned char>(text[begin]) <= ' ') ++begin;
  while (end > begin && static_cast<unsigned char>(text[end - 1]) <= ' ') --end;
  return text.substr(begin, end - begin);
}
std::string TrimmedText(std::string_view text);

// The first `count` bytes of the text (the whole text when it is shorter).
std::string_view Leading(std::string_view text, size_t count);

// Text after the first `count` bytes (empty when the text is shorter).
std::string_view After(std::string_view text, size_t count);

// Text from the network as it may be shown on a terminal: every control
// character (below 0x20, and 0x7F) written as "\x1b" and so on, except the
// line breaks when `keepLineBreaks` (LF kept; a CR before it dropped).
std::string EscapedControls(std::string_view text, bool keepLineBreaks = false);

}  // namespace kavrel

#endif
