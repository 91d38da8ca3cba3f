// What the readers of transponder files share: the outcome of one file and
// the "Loading ..." line each of them starts with.
#ifndef KAVREL_FORMATS_FILE_READING_H
#define KAVREL_FORMATS_FILE_READING_H

#include <optional>
#include <ostream>
#include <string_view>

#include "catalogue/satellite_sink.h"

namespace kavrel {

// How a transponder file was read. Whatever the outcome, what the reader
// could read is in the catalogue and its progress lines are printed; an
// outcome other than kRead is a failing input the dispatcher reports.
enum class [[nodiscard]] FileReadResult {
  kRead,          // read to its end
  kNoSatellite,   // empty, or not a file of its kind: it names no satellite
  kEndsEarly,     // a satellites file that stops before its closing element
  kMissingLines,  // an INI count promises more lines than the section has
  kNotACount,     // an INI count that is no number of lines
  kNoPosition,    // a channel file whose name says no orbital position
};

using FileReader = FileReadResult (*)(SatelliteSink& sink, const SourceText& file);

// The cause printed for a failing outcome; nothing for kRead.
std::optional<std::string_view> ReadFailureCause(FileReadResult result);

// "Loading <label> file (<name>)...", the first line of every reader.
void AnnounceLoading(std::ostream& out, std::string_view label, std::string_view name);

}  // namespace kavrel

#endif
