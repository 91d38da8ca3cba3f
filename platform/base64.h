// Standard Base64 (RFC 4648 alphabet, "=" padding), as Basic credentials
// carry a user name and password.
#ifndef KAVREL_PLATFORM_BASE64_H
#define KAVREL_PLATFORM_BASE64_H

#include <cstddef>
#include <string>
#include <string_view>

namespace kavrel {

// One group: up to three bytes give four characters, a short group filled
// up with "=".
std::string EncodeBase64Group(const unsigned char* bytes, size_t count);

// A whole text, group by group.
std::string EncodeBase64(std::string_view text);

}  // namespace kavrel

#endif
