// What several page parsers read the same way: FEC texts, the row colours
// that mark data and feed rows, and small cuts of a line.
#ifndef KAVREL_PARSERS_PAGE_COMMON_H
#define KAVREL_PARSERS_PAGE_COMMON_H

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "catalogue/catalogue.h"
#include "catalogue/codes.h"
#include "catalogue/admission.h"

namespace kavrel {

// "3/4" gives 3 and 4: the numbers before and after the first "/", each 0
// when unreadable; a text without "/" gives 0/0 (unknown).
FecFraction ParseFecText(std::string_view text);

// The multistream words of today's pages, in any letter case: "stream 5"
// (input stream), "PLS gold 8" / "PLS root 16416" / "PLS: Root+16416"
// (scrambling code), "PLP 0" / "T2-MI, PLP 0" (T2-MI PLP). Numbers out of
// range are passed over. Sets what the text names and keeps the rest.
void ReadStreamWords(std::string_view text, TransponderDetails& details);

// The encoding a page declares with "charset=" near its start: UTF-8, or
// Latin-1 for anything else.
TextEncoding PageTextEncoding(std::string_view page);

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

// Whether a row of this kind holds a transponder at all.
bool IsTransponderRow(RowKind kind);

// The service a transponder row of this kind carries, as admission judges
// it (/Data, /Feeds).
ServiceKind ServiceOfRow(RowKind kind);

// The text without its leading blanks.
std::string_view TrimLeadingBlanks(std::string_view text);

// The text before the first occurrence of `mark`; the whole text when it
// has none.
std::string_view CutBefore(std::string_view text, std::string_view mark);

}  // namespace kavrel

#endif
