#include "parsers/page_common.h"

#include "catalogue/run.h"
#include "platform/int_text.h"

namespace kavrel {

void BeginPage(Run& run, const std::string& path) {
  run.out << "Processing " << path << "..." << '\n';
  run.catalogue.CurrentSatellite = -1;
}

void EndPage(Run& run) {
  if (const SatelliteRecord* current = run.catalogue.Current()) {
    run.out << current->Count() << " transponders loaded" << '\n';
  }
  run.catalogue.DropEmptyLastSatellite();
}

FecValues ParseFecText(std::string_view text) {
  size_t slash = text.find('/');
  if (slash == std::string_view::npos) return {};
  // Fields are bytes: a number that does not fit wraps, as it would in the
  // byte it is stored in.
  return {static_cast<uint8_t>(WholeNumberOrZero(text.substr(0, slash))),
          static_cast<uint8_t>(WholeNumberOrZero(text.substr(slash + 1)))};
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
