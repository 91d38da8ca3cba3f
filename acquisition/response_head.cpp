#include "acquisition/response_head.h"

#include <algorithm>

#include "platform/int_text.h"
#include "platform/line_reader.h"
#include "platform/text.h"

namespace kavrel {

std::optional<std::string_view> ResponseHead::Field(std::string_view name) const {
  for (const auto& [fieldName, value] : fields) {
    if (EqualsIgnoringAsciiCase(fieldName, name)) return std::string_view(value);
  }
  return std::nullopt;
}

std::optional<size_t> BodyStart(std::string_view received) {
  size_t crlf = received.find("\r\n\r\n");
  size_t lf = received.find("\n\n");
  if (crlf == std::string_view::npos && lf == std::string_view::npos) return std::nullopt;
  if (crlf != std::string_view::npos && (lf == std::string_view::npos || crlf < lf)) return crlf + 4;
  return lf + 2;
}

std::optional<ResponseHead> ParseResponseHead(std::string_view head) {
  LineReader lines(head);
  std::string_view status = lines.ReadRawLine();
  if (status.ends_with('\r')) status.remove_suffix(1);
  constexpr std::string_view kVersion = "HTTP/";
  if (status.size() < 12 || !status.starts_with(kVersion) || !IsAsciiDigit(status[5]) || status[6] != '.' ||
      !IsAsciiDigit(status[7]) || status[8] != ' ' || !IsAsciiDigit(status[9]) || !IsAsciiDigit(status[10]) ||
      !IsAsciiDigit(status[11]) || (status.size() > 12 && status[12] != ' ')) {
    return std::nullopt;
  }
  ResponseHead parsed;
  parsed.status = (status[9] - '0') * 100 + (status[10] - '0') * 10 + (status[11] - '0');
  parsed.reason = std::string(TrimBlanks(status.substr(12)));
  while (!lines.AtEnd()) {
    std::string_view line = lines.ReadRawLine();
    if (line.ends_with('\r')) line.remove_suffix(1);
    if (line.empty()) break;
    if ((line[0] == ' ' || line[0] == '\t') && !parsed.fields.empty()) {
      // An old-style continuation line belongs to the field above.
      parsed.fields.back().second += ' ';
      parsed.fields.back().second += TrimBlanks(line);
      continue;
    }
    size_t colon = line.find(':');
    if (colon == std::string_view::npos || colon == 0) continue;
    parsed.fields.emplace_back(std::string(line.substr(0, colon)), std::string(TrimBlanks(line.substr(colon + 1))));
  }
  return parsed;
}

bool IsPageContentType(std::string_view value) {
  std::string_view type = TrimBlanks(value.substr(0, value.find(';')));
  return EqualsIgnoringAsciiCase(type, "text/html") || EqualsIgnoringAsciiCase(type, "application/xhtml+xml");
}

bool IsChunkedFieldLine(std::string_view line) {
  if (line.ends_with('\r')) line.remove_suffix(1);
  size_t colon = line.find(':');
  if (colon == std::string_view::npos ||
      !EqualsIgnoringAsciiCase(TrimBlanks(line.substr(0, colon)), "Transfer-Encoding")) {
    return false;
  }
  std::string_view codings = line.substr(colon + 1);
  return EqualsIgnoringAsciiCase(TrimBlanks(codings.substr(codings.rfind(',') + 1)), "chunked");
}

std::optional<uint64_t> ContentLength(const ResponseHead& head) {
  std::optional<std::string_view> value = head.Field("Content-Length");
  return value ? PlainDigitsValue(*value) : std::nullopt;
}

std::string StatusText(const ResponseHead& head) {
  return DecimalText(head.status) + (head.reason.empty() ? "" : " " + EscapedControls(head.reason));
}

std::optional<int64_t> RetryAfterSeconds(const ResponseHead& head) {
  std::optional<std::string_view> value = head.Field("Retry-After");
  if (!value) return std::nullopt;
  std::optional<uint64_t> seconds = PlainDigitsValue(*value);
  if (!seconds) return std::nullopt;
  return static_cast<int64_t>(std::min<uint64_t>(*seconds, INT32_MAX));
}

}  // namespace kavrel
