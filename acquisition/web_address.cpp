#include "acquisition/web_address.h"

#include <vector>

#include "platform/int_text.h"
#include "platform/text.h"

namespace kavrel {

namespace {

constexpr std::string_view kHttps = "https://";
constexpr std::string_view kHttp = "http://";

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
  return EqualsIgnoringAsciiCase(Leading(text, prefix.size()), prefix);
}

// A request line or Host line must not be split or padded by the address.
bool HasBlankOrControl(std::string_view text) {
  for (char c : text) {
    auto byte = static_cast<unsigned char>(c);
    if (byte <= ' ' || byte == 0x7F) return true;
  }
  return false;
}

// "/a/b/../c/./d" -> "/a/c/d", as a browser reads the path of an address.
std::string RemoveDotSegments(std::string_view path) {
  std::vector<std::string_view> kept;
  bool directoryEnd = false;
  for (size_t start = 0;;) {
    size_t slash = path.find('/', start);
    std::string_view segment = path.substr(start, slash == std::string_view::npos ? std::string_view::npos : slash - start);
    directoryEnd = segment == "." || segment == "..";
    if (segment == "..") {
      if (kept.size() > 1) kept.pop_back();  // never above the root
    } else if (segment != ".") {
      kept.push_back(segment);
    }
    if (slash == std::string_view::npos) break;
    start = slash + 1;
  }
  std::string result;
  for (size_t i = 0; i < kept.size(); ++i) {
    if (i > 0) result += '/';
    result += kept[i];
  }
  if (directoryEnd) result += '/';
  return result;
}

// The scheme and authority of an address ParseWebAddress accepted.
std::string Origin(const WebAddress& address) {
  return std::string(address.secure ? kHttps : kHttp) + address.authority;
}

}  // namespace

bool IsSecureAddress(std::string_view address) { return StartsWithIgnoringCase(address, kHttps); }

std::optional<WebAddress> ParseWebAddress(std::string_view address) {
  WebAddress parsed;
  std::string_view rest;
  if (StartsWithIgnoringCase(address, kHttps)) {
    parsed.secure = true;
    parsed.port = 443;
    rest = address.substr(kHttps.size());
  } else if (StartsWithIgnoringCase(address, kHttp)) {
    parsed.port = 80;
    rest = address.substr(kHttp.size());
  } else {
    return std::nullopt;
  }
  if (HasBlankOrControl(address)) return std::nullopt;
  size_t authorityEnd = rest.find_first_of("/?#");
  std::string_view authority = rest.substr(0, authorityEnd);
  std::string_view target = authorityEnd == std::string_view::npos ? std::string_view() : rest.substr(authorityEnd);
  target = target.substr(0, target.find('#'));
  // User names in addresses are a way to disguise a host; IPv6 literals
  // cannot be connected to.
  if (authority.find_first_of("@[]") != std::string_view::npos) return std::nullopt;
  std::string_view host = authority;
  size_t colon = authority.find(':');
  if (colon != std::string_view::npos) {
    host = authority.substr(0, colon);
    std::string_view portText = authority.substr(colon + 1);
    if (portText.empty() || portText.size() > 5 ||
        portText.find_first_not_of("0123456789") != std::string_view::npos) {
      return std::nullopt;
    }
    parsed.port = ParseWholeNumber(portText).value_or(0);
    if (parsed.port < 1 || parsed.port > 65535) return std::nullopt;
  }
  if (host.empty()) return std::nullopt;
  parsed.host = std::string(host);
  parsed.authority = std::string(authority);
  parsed.target = target.empty() || target[0] == '?' ? "/" + std::string(target) : std::string(target);
  return parsed;
}

std::optional<std::string> ResolveLocation(std::string_view base, std::string_view location) {
  location = TrimBlanks(location);
  std::optional<WebAddress> from = ParseWebAddress(base);
  if (!from || location.empty()) return std::nullopt;
  std::string resolved;
  size_t colon = location.find(':');
  size_t delimiter = location.find_first_of("/?#");
  if (colon != std::string_view::npos && (delimiter == std::string_view::npos || colon < delimiter)) {
    resolved = std::string(location);  // has a scheme of its own
  } else if (location.starts_with("//")) {
    resolved = std::string(from->secure ? "https:" : "http:") + std::string(location);
  } else if (location[0] == '/') {
    resolved = Origin(*from) + std::string(location);
  } else {
    std::string_view path = from->target;
    path = path.substr(0, path.find('?'));
    if (location[0] == '?') {
      resolved = Origin(*from) + std::string(path) + std::string(location);
    } else if (location[0] == '#') {
      resolved = Origin(*from) + from->target;
    } else {
      resolved = Origin(*from) + std::string(path.substr(0, path.rfind('/') + 1)) + std::string(location);
    }
  }
  std::optional<WebAddress> to = ParseWebAddress(resolved);
  if (!to) return std::nullopt;
  std::string_view target = to->target;
  size_t query = target.find('?');
  std::string path = RemoveDotSegments(target.substr(0, query));
  if (path.empty() || path[0] != '/') path.insert(path.begin(), '/');
  return Origin(*to) + path + std::string(query == std::string_view::npos ? "" : target.substr(query));
}

}  // namespace kavrel
