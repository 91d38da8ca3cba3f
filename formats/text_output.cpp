#include "formats/text_output.h"

#include <charconv>

namespace kavrel {

void WriteLfLine(OutputFile& file, std::string_view text) {
  file.Write(text);
  file.Write("\n");
}

void AppendDecimal(std::string& text, int64_t value) {
  char buffer[24];
  auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  text.append(buffer, static_cast<size_t>(result.ptr - buffer));
}

void AppendPaddedDecimal(std::string& text, int64_t value, int digits) {
  char buffer[24];
  auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  std::string_view number(buffer, static_cast<size_t>(result.ptr - buffer));
  if (!number.empty() && number.front() == '-') {
    text += '-';
    number.remove_prefix(1);
  }
  if (number.size() < static_cast<size_t>(digits)) {
    text.append(static_cast<size_t>(digits) - number.size(), '0');
  }
  text.append(number);
}

}  // namespace kavrel
