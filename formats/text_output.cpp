#include "formats/text_output.h"

#include <charconv>

namespace kavrel {

void WriteLfLine(OutputFile& file, std::string_view text) {
  file.Write(text);
  file.Write("\n");
}

std::string TextForFile(std::string_view text) {
  std::string clean(text);
  for (char& c : clean) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
  }
  return clean;
}

void GuardLeadingCharacter(std::string& name) {
  if (!name.empty() && (name[0] == '.' || name[0] == '-')) name[0] = '_';
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
