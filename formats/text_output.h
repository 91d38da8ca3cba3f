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

// Appends the decimal text of a value (the writers build many numbers per
// line; this spares them a temporary string each).
void AppendDecimal(std::string& text, int64_t value);

// Appends the decimal text zero-padded to at least `digits` digits, as
// printf "%.Nd" does.
void AppendPaddedDecimal(std::string& text, int64_t value, int digits);

}  // namespace kavrel

#endif
