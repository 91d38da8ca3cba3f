#include "parsers/page_common.h"

#include "platform/int_text.h"

namespace kavrel {

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

bool RowKindWanted(RowKind kind, const Options& options) {
  switch (kind) {
    case RowKind::kUnmarked:
    case RowKind::kUnused: return false;
    case RowKind::kData: return options.AcceptData;
    case RowKind::kFeed: return options.AcceptFeeds;
    case RowKind::kOrdinary: return true;
  }
  return false;
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
