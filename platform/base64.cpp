#include "platform/base64.h"

#include <algorithm>
#include <cstdint>

namespace kavrel {

std::string EncodeBase64Group(const unsigned char* bytes, size_t count) {
  static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  uint32_t group = 0;
  for (size_t i = 0; i < 3; ++i) group = (group << 8) | (i < count ? bytes[i] : 0u);
  std::string encoded(4, '=');
  for (size_t i = 0; i < 4; ++i) {
    if (i <= count) encoded[i] = kAlphabet[(group >> (18 - 6 * i)) & 63];
  }
  return encoded;
}

std::string EncodeBase64(std::string_view text) {
  std::string encoded;
  encoded.reserve((text.size() + 2) / 3 * 4);
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  for (size_t i = 0; i < text.size(); i += 3) {
    encoded += EncodeBase64Group(bytes + i, std::min<size_t>(3, text.size() - i));
  }
  return encoded;
}

}  // namespace kavrel
