// The head of an HTTP/1.1 response read as the protocol defines it: the
// status code parsed, field names compared without regard to case. Secure
// pages are judged by this; plain http pages keep their own older checks.
#ifndef KAVREL_ACQUISITION_RESPONSE_HEAD_H
#define KAVREL_ACQUISITION_RESPONSE_HEAD_H

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kavrel {

struct ResponseHead {
  int status = 0;
  std::string reason;  // the status line's text after the code
  std::vector<std::pair<std::string, std::string>> fields;  // name, trimmed value

  // The value of the first field of this name, in any letter case.
  std::optional<std::string_view> Field(std::string_view name) const;
};

// Where the body starts: just after the first empty line (CR LF CR LF, or a
// bare LF LF as lenient servers send), or nothing while the head goes on.
std::optional<size_t> BodyStart(std::string_view received);

// A head (the bytes before the empty line); nothing when its first line is
// not "HTTP/<digit>.<digit> <three digits>...".
std::optional<ResponseHead> ParseResponseHead(std::string_view head);

// "text/html" or "application/xhtml+xml", in any letter case, parameters
// allowed.
bool IsPageContentType(std::string_view value);

// A Transfer-Encoding field line whose last coding is "chunked", the name
// and the coding in any letter case.
bool IsChunkedFieldLine(std::string_view line);

// The body length a head announces, when it announces one.
std::optional<uint64_t> ContentLength(const ResponseHead& head);

// "404 Not Found": the status as the server gave it, its reason phrase's
// control characters shown escaped, never sent raw to a terminal.
std::string StatusText(const ResponseHead& head);

// Retry-After given in seconds; nothing for a date or anything else.
std::optional<int64_t> RetryAfterSeconds(const ResponseHead& head);

}  // namespace kavrel

#endif
