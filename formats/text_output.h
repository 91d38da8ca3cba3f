// Lines of the text formats that kavrel writes (XML, TRP): every line ends
// with one LF, whatever the platform.
#ifndef KAVREL_FORMATS_TEXT_OUTPUT_H
#define KAVREL_FORMATS_TEXT_OUTPUT_H

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/file_system.h"

namespace kavrel {

// Writes the text and one LF.
void WriteLfLine(OutputFile& file, std::string_view text);

// A name or providers text as every writer puts it into a file: each
// control character (below 0x20, and 0x7F) becomes a blank, so that no name
// breaks a line, a section or an element of the file, nor reaches a
// terminal that shows the file. Any other text is returned unchanged.
std::string TextForFile(std::string_view text);

// A file name part that does not start with "." (a hidden file) or "-"
// (read as an option by the commands given the name): a leading one
// becomes "_".
void GuardLeadingCharacter(std::string& name);

// Appends the decimal text of a value (the writers build many numbers per
// line; this spares them a temporary string each).
void AppendDecimal(std::string& text, int64_t value);

// Appends the decimal text zero-padded to at least `digits` digits, as
// printf "%.Nd" does.
void AppendPaddedDecimal(std::string& text, int64_t value, int digits);

}  // namespace kavrel

#endif
