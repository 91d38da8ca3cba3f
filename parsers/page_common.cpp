#include "parsers/page_common.h"

#include <optional>

#include "platform/int_text.h"
#include "platform/text.h"

namespace kavrel {

namespace {

// The number that starts `text` after blanks, at most `limit`.
std::optional<int64_t> LeadingNumber(std::string_view text, int64_t limit) {
  text = TrimLeadingBlanks(text);
  size_t digits = 0;
  int64_t value = 0;
  while (digits < text.size() && IsAsciiDigit(text[digits])) {
    value = value * 10 + (text[digits] - '0');
    if (value > limit) return std::nullopt;
    ++digits;
  }
  if (digits == 0) return std::nullopt;
  return value;
}

}  // namespace

void ReadStreamWords(std::string_view text, TransponderDetails& details) {
  std::string lower = LowerAscii(text);
  std::string_view words = lower;
  for (size_t at = 0; (at = words.find("stream", at)) != std::string_view::npos; at += 6) {
    if (std::optional<int64_t> id = LeadingNumber(words.substr(at + 6), kMaxStreamId)) {
      details.StreamId = static_cast<int16_t>(*id);
      break;
    }
  }
  for (size_t at = 0; (at = words.find("pls", at)) != std::string_view::npos; at += 3) {
    std::string_view rest = TrimLeadingBlanks(words.substr(at + 3));
    if (!rest.empty() && rest[0] == ':') rest = TrimLeadingBlanks(rest.substr(1));
    uint8_t mode = rest.starts_with("root") ? kPlsRoot : rest.starts_with("gold") ? kPlsGold
                   : rest.starts_with("combo") ? kPlsCombo : kPlsUnset;
    if (mode == kPlsUnset) continue;
    rest = rest.substr(mode == kPlsCombo ? 5 : 4);
    if (!rest.empty() && rest[0] == '+') rest = rest.substr(1);
    if (std::optional<int64_t> code = LeadingNumber(rest, kMaxPlsCode)) {
      details.PlsMode = mode;
      details.PlsCode = static_cast<uint32_t>(*code);
      break;
    }
  }
  for (size_t at = 0; (at = words.find("plp", at)) != std::string_view::npos; at += 3) {
    if (std::optional<int64_t> plp = LeadingNumber(words.substr(at + 3), kMaxStreamId)) {
      details.T2miPlpId = static_cast<int16_t>(*plp);
      break;
    }
  }
}

TextEncoding PageTextEncoding(std::string_view page) {
  constexpr size_t kHeadLength = 4096;
  std::string head = LowerAscii(page.substr(0, kHeadLength));
  size_t charset = head.find("charset=");
  if (charset == std::string::npos) return TextEncoding::kLatin1;
  std::string_view value = std::string_view(head).substr(charset + 8);
  if (!value.empty() && (value[0] == '"' || value[0] == '\'')) value.remove_prefix(1);
  return value.starts_with("utf-8") || value.starts_with("utf8") ? TextEncoding::kUtf8 : TextEncoding::kLatin1;
}

FecFraction ParseFecText(std::string_view text) {
  size_t slash = text.find('/');
  if (slash == std::string_view::npos) return {};
  // Fields are bytes: a number that does not fit wraps, as it would in the
  // byte it is stored in.
  return {static_cast<uint8_t>(WholeNumberOrZero(text.substr(0, slash))),
          static_cast<uint8_t>(WholeNumberOrZero(text.substr(slash + 1)))};
}

RowKind RowKindOf(std::string_view line, std::span<const RowColour> colours) {
  RowKind kind = RowKind::kUnmarked;
  for (const RowColour& colour : colours) {
    if (line.find(colour.marker) != std::string_view::npos) kind = colour.kind;
  }
  return kind;
}

bool IsTransponderRow(RowKind kind) { return kind != RowKind::kUnmarked && kind != RowKind::kUnused; }

ServiceKind ServiceOfRow(RowKind kind) {
  switch (kind) {
    case RowKind::kData: return ServiceKind::kData;
    case RowKind::kFeed: return ServiceKind::kFeed;
    default: return ServiceKind::kOrdinary;
  }
}

std::string_view TrimLeadingBlanks(std::string_view text) {
  size_t begin = 0;
  while (begin < text.size() && text[begin] == ' ') ++begin;
  return text.substr(begin);
}

std::string_view CutBefore(std::string_view text, std::string_view mark) {
  return text.substr(0, text.find(mark));
}

}  // namespace kavrel
