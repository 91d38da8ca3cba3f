#include "platform/text_encoding.h"

namespace kavrel {

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

bool IsContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

}  // namespace

std::optional<Utf8Char> DecodeUtf8At(std::string_view text, size_t at) {
  auto byte = [&](size_t i) { return static_cast<unsigned char>(text[at + i]); };
  unsigned char lead = byte(0);
  if (lead < 0x80) return Utf8Char{lead, 1};
  size_t length;
  uint32_t codePoint;
  uint32_t smallest;
  if ((lead & 0xE0) == 0xC0) {
    length = 2, codePoint = lead & 0x1F, smallest = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3, codePoint = lead & 0x0F, smallest = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4, codePoint = lead & 0x07, smallest = 0x10000;
  } else {
    return std::nullopt;
  }
  if (at + length > text.size()) return std::nullopt;
  for (size_t i = 1; i < length; ++i) {
    if (!IsContinuation(byte(i))) return std::nullopt;
    codePoint = (codePoint << 6) | (byte(i) & 0x3F);
  }
  // Overlong forms, surrogates and values beyond Unicode are not characters.
  if (codePoint < smallest || codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF)) {
    return std::nullopt;
  }
  return Utf8Char{codePoint, length};
}

std::optional<std::string> Utf8Of(uint32_t codePoint) {
  if (codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF)) return std::nullopt;
  std::string bytes;
  if (codePoint < 0x80) {
    bytes += static_cast<char>(codePoint);
  } else if (codePoint < 0x800) {
    bytes += static_cast<char>(0xC0 | (codePoint >> 6));
    bytes += static_cast<char>(0x80 | (codePoint & 0x3F));
  } else if (codePoint < 0x10000) {
    bytes += static_cast<char>(0xE0 | (codePoint >> 12));
    bytes += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
    bytes += static_cast<char>(0x80 | (codePoint & 0x3F));
  } else {
    bytes += static_cast<char>(0xF0 | (codePoint >> 18));
    bytes += static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
    bytes += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
    bytes += static_cast<char>(0x80 | (codePoint & 0x3F));
  }
  return bytes;
}

std::string Utf8FromLatin1(std::string_view text) {
  std::string result;
  result.reserve(text.size());
  for (char c : text) {
    auto byte = static_cast<unsigned char>(c);
    if (byte < 0x80) {
      result += c;
    } else {
      result += static_cast<char>(0xC0 | (byte >> 6));
      result += static_cast<char>(0x80 | (byte & 0x3F));
    }
  }
  return result;
}

std::string Latin1FromUtf8(std::string_view text) {
  std::string result;
  result.reserve(text.size());
  for (size_t at = 0; at < text.size();) {
    std::optional<Utf8Char> decoded = DecodeUtf8At(text, at);
    if (!decoded) {
      result += '?';
      ++at;
      continue;
    }
    result += decoded->codePoint <= 0xFF ? static_cast<char>(decoded->codePoint) : '?';
    at += decoded->length;
  }
  return result;
}

std::string ValidUtf8(std::string_view text) {
  std::string result;
  result.reserve(text.size());
  for (size_t at = 0; at < text.size();) {
    std::optional<Utf8Char> decoded = DecodeUtf8At(text, at);
    if (!decoded) {
      result += kReplacement;
      ++at;
      continue;
    }
    result += text.substr(at, decoded->length);
    at += decoded->length;
  }
  return result;
}

}  // namespace kavrel
