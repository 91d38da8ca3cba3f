// What every page parser does the same way: the opening and closing lines
// of a page, and the small value readings that several sites share.
#ifndef KAVREL_PARSERS_PAGE_COMMON_H
#define KAVREL_PARSERS_PAGE_COMMON_H

#include <cstdint>
#include <string>
#include <string_view>

namespace kavrel {

struct Run;

// Result of a parser that gave up on its page; the caller reports it and
// discards the page's satellite.
constexpr int kPageAbandoned = -1;

// Prints "Processing <path>..." and forgets the current satellite, so that
// rows met before the page names its satellite go nowhere.
void BeginPage(Run& run, const std::string& path);

// The end of a page read to its end: the count line of the current
// satellite (when the page named one), then an empty satellite that the
// page appended last is dropped again.
void EndPage(Run& run);

struct FecValues {
  uint8_t numerator = 0;
  uint8_t denominator = 0;
};

// "3/4" gives 3 and 4: the numbers before and after the first "/", each 0
// when unreadable; a text without "/" gives 0/0 (unknown).
FecValues ParseFecText(std::string_view text);

// The text without its leading blanks.
std::string_view TrimLeadingBlanks(std::string_view text);

// The text before the first occurrence of `mark`; the whole text when it
// has none.
std::string_view CutBefore(std::string_view text, std::string_view mark);

}  // namespace kavrel

#endif
