#include "platform/text.h"

namespace kavrel {

std::string UpperAscii(std::string_view text) {
  std::string result(text);
  for (char& c : result) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return result;
}

std::string LowerAscii(std::string_view text) {
  std::string result(text);
  for (char& c : result) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return result;
}

bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 'a' + 'A');
    if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 'a' + 'A');
    if (x != y) return false;
  }
  return true;
}

std::string TrimmedText(std::string_view text) { return std::string(TrimBlanks(text)); }

std::string_view Leading(std::string_view text, size_t count) { return text.substr(0, count); }

std::string_view After(std::string_view text, size_t count) {
  return count >= text.size() ? std::string_view() : text.substr(count);
}

std::string EscapedControls(std::string_view text, bool keepLineBreaks) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string shown;
  shown.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    auto byte = static_cast<unsigned char>(text[i]);
    if (keepLineBreaks && (byte == '\n' || (byte == '\r' && i + 1 < text.size() && text[i + 1] == '\n'))) {
      if (byte == '\n') shown += '\n';
      continue;
    }
    if (byte < 0x20 || byte == 0x7F) {
      shown += "\\x";
      shown += kHex[byte >> 4];
      shown += kHex[byte & 15];
    } else {
      shown += static_cast<char>(byte);
    }
  }
  return shown;
}

}  // namespace kavrel
