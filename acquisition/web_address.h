// Addresses of secure pages, taken apart as HTTP/1.1 uses them: where to
// connect, what to send as Host and as the request target, and how a
// redirect's Location is resolved against the address it came from.
#ifndef KAVREL_ACQUISITION_WEB_ADDRESS_H
#define KAVREL_ACQUISITION_WEB_ADDRESS_H

#include <optional>
#include <string>
#include <string_view>

namespace kavrel {

struct WebAddress {
  bool secure = false;    // https (else http)
  std::string host;       // name or dotted address, without the port
  int port = 0;           // the named port, or the scheme's own
  std::string authority;  // host[:port] as the address writes it: the Host line
  std::string target;     // path and query, "/" at least; never a fragment
};

// True when the address begins with "https://" in any letter case.
bool IsSecureAddress(std::string_view address);

// An absolute http or https address taken apart; nothing for anything else
// (another scheme, no host, a port that is not 1..65535, user names,
// control characters or blanks).
std::optional<WebAddress> ParseWebAddress(std::string_view address);

// A Location value resolved against the address it was received for: an
// absolute address, "//host/...", "/path", "?query" or a relative path.
// Nothing when the result is not an address ParseWebAddress accepts.
std::optional<std::string> ResolveLocation(std::string_view base, std::string_view location);

}  // namespace kavrel

#endif
