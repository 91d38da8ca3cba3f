// What both XML dialects kavrel reads and writes share: attribute values
// as the line-based reader finds them, character references, the declared
// encoding and the polarization codes.
#ifndef KAVREL_FORMATS_XML_TEXT_H
#define KAVREL_FORMATS_XML_TEXT_H

#include <optional>
#include <string>
#include <string_view>

#include "catalogue/codes.h"

namespace kavrel {

// An attribute value with its character references decoded: "&amp;",
// "&lt;", "&gt;", "&quot;", "&apos;", "&#NNN;" and "&#xHH;". A character is
// written in the file's encoding; one that Latin-1 cannot hold becomes "?".
// References to control characters become a blank, as a names' line break
// or tab would break the line formats kavrel writes. Anything else after a
// "&" (an unknown entity, a reference to no character) stays as it stands.
std::string DecodeXmlReferences(std::string_view value, TextEncoding encoding);

// The encoding of names that a "<?xml ...?>" declaration gives: UTF-8 when
// it names "UTF-8" or "UTF8" in any letter case, Latin-1 for any other
// encoding, nothing when it names none (the file is then Latin-1, as it
// always was to kavrel, unless it starts with a UTF-8 byte order mark).
std::optional<TextEncoding> XmlDeclaredEncoding(std::string_view declaration);

// The value of an attribute of an element line: the text between the two
// double quotes that follow the attribute's name, taken as it stands.
// The name counts where it stands as an attribute (after a blank or tab,
// followed by "=" with optional blanks), so a name such as "position"
// inside another attribute's value is not mistaken for it. Empty when the
// attribute or either quote is missing.
std::string XmlAttributeValue(std::string_view line, std::string_view name);

// "0" H, "1" V, "2" L, "3" R; any other character gives no letter.
std::optional<char> PolarizationFromXmlCode(char code);

// The "polarization" value written for a letter: its code, or for a
// letter without one the letter itself.
char XmlPolarizationCode(char letter);

}  // namespace kavrel

#endif
