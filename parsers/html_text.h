// Small text helpers for reading saved listing pages line by line.
//
// None of them parses HTML as a tree: each is a rule on characters, applied
// to one line (or one run of lines) of a page. Texts are byte strings in the
// page's own 8-bit encoding. Numbers are read as "value or 0": a strict
// decimal whole number (platform/int_text.h), 0 for any other text.
#ifndef KAVREL_PARSERS_HTML_TEXT_H
#define KAVREL_PARSERS_HTML_TEXT_H

#include <cstdint>
#include <string>
#include <string_view>

#include "catalogue/codes.h"

namespace kavrel {

class LineReader;

// How many bytes of `text` from `at` spell a no-break space, 0 when none
// does: the entities "&nbsp;", "&#160;" and "&#xA0;" (letter case
// ignored), the character U+00A0 in UTF-8 (C2 A0) on any page, and the
// single byte A0 on a Latin-1 page. On a UTF-8 page a lone A0 is the tail
// of another character ("\xC3\xA0" is a small a grave) and stays.
size_t NoBreakSpaceLength(std::string_view text, size_t at, TextEncoding encoding);

// Whether a no-break space may start with this byte: the cheap test that
// spares the call above for nearly every byte of a page.
inline bool MayStartNoBreakSpace(char c) { return c == '&' || c == '\xA0' || c == '\xC2'; }

// The text with every no-break space (as above) turned into one blank, for
// the fields a reader splits at blanks: frequency and polarization, symbol
// rate and FEC.
std::string BlankNoBreakSpaces(std::string_view text, TextEncoding encoding);

// The text with every tag removed. "<" starts a tag and ">" ends one;
// neither is ever copied, so a stray ">" disappears too and an unclosed "<"
// drops the rest of the text. Entities such as "&nbsp;" stay as they are.
std::string StripTags(std::string_view text);

// An orbital position written in degrees with a decimal point ("19.2"), in
// tenths: 10 x the number before the point + the number after it ("19.2" is
// 192, "13" is 130, "0.8" is 8). Unreadable parts count as 0.
int32_t ParseTenths(std::string_view text);

// A frequency written in GHz with a decimal comma ("11,727"), in MHz:
// 1000 x the number before the comma + the number after it. A text without
// a comma gives 0.
int32_t ParseThousandths(std::string_view text);

// Drops everything before the first "<td" of a row; a row without one is
// left as it is.
void CutToFirstCell(std::string& row);

// Takes the next cell of a row: when the row holds both "<td " (with the
// blank) and "</td>", `cell` becomes the tag-stripped text from that "<td "
// to that "</td>" (empty when the "</td>" comes first) and the row loses
// everything up to and including that "</td>". Otherwise neither changes.
void TakeCell(std::string& row, std::string& cell);

// The Latin spelling of one Windows-1251 byte: Cyrillic letters give their
// transliteration ("Ya" for the capital Ya, "sch" for the small shcha, an
// apostrophe for both hard and soft signs); every other byte gives itself.
std::string_view TransliterateChar(unsigned char byte);

// The text with every byte transliterated.
std::string Transliterate(std::string_view text);

// Reads ordinary text lines until one that begins with exactly
// "<TD><font size=-1>" and returns it whole; the lines before it are
// consumed. At the end of the text the result is empty.
std::string NextFontCellLine(LineReader& reader);

}  // namespace kavrel

#endif
