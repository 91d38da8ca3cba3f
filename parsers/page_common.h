// What several page parsers read the same way: FEC texts, the row colours
// that mark data and feed rows, and small cuts of a line.
#ifndef KAVREL_PARSERS_PAGE_COMMON_H
#define KAVREL_PARSERS_PAGE_COMMON_H

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "catalogue/codes.h"
#include "catalogue/options.h"

namespace kavrel {

// "3/4" gives 3 and 4: the numbers before and after the first "/", each 0
// when unreadable; a text without "/" gives 0/0 (unknown).
FecFraction ParseFecText(std::string_view text);

// What the background colour of a row says about its transponder.
enum class RowKind {
  kUnmarked,  // no known colour: not a transponder row
  kOrdinary,  // a known colour without a special meaning
  kUnused,    // a colour the site uses for rows without a transponder
  kData,      // data services, admitted by /Data
  kFeed,      // feeds, admitted by /Feeds
};

struct RowColour {
  std::string_view marker;
  RowKind kind;
};

// The kind of the last colour of the table whose marker the line holds.
RowKind RowKindOf(std::string_view line, std::span<const RowColour> colours);

// Whether the options take rows of this kind.
bool RowKindWanted(RowKind kind, const Options& options);

// The text without its leading blanks.
std::string_view TrimLeadingBlanks(std::string_view text);

// The text before the first occurrence of `mark`; the whole text when it
// has none.
std::string_view CutBefore(std::string_view text, std::string_view mark);

}  // namespace kavrel

#endif
