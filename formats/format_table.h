// The format table: one row per output format, so that a new format is one
// row here and one file in formats/.
#ifndef KAVREL_FORMATS_FORMAT_TABLE_H
#define KAVREL_FORMATS_FORMAT_TABLE_H

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/catalogue.h"
#include "catalogue/options.h"
#include "catalogue/satellite_sink.h"
#include "formats/file_reading.h"
#include "formats/writer_context.h"

namespace kavrel {

using Writer = void (*)(const Catalogue& catalogue, const WriterContext& context);

struct OutputFormat {
  uint8_t code;
  // The "/Format=" value, upper case: two letters match the first two
  // letters of the value ("I1"), one letter its first letter ("X").
  std::string_view letters;
  // The SaveFormat value of the configuration file.
  std::string_view configName;
  // System kinds that choosing the format on the command line switches on
  // (0 = none).
  std::array<uint8_t, 2> switchedOn;
  Writer write;
  // System kinds the format holds (0 = none), and whether it tells the
  // streams of one frequency apart; what it cannot hold is left out.
  std::array<uint8_t, 3> holds;
  bool holdsStreams;
  // For a format that holds streams: how many of a satellite's streams it
  // still cannot tell apart and writes as one (nullptr: none).
  size_t (*mergesStreams)(const SatelliteRecord& satellite) = nullptr;
  // What it is, for --help.
  std::string_view help = {};
};

// How many transponders of the catalogue a format leaves out: those of
// kinds it does not hold, and further streams where it writes only the
// first of a frequency.
size_t TranspondersLeftOut(const Catalogue& catalogue, const OutputFormat& format);

// How many streams a format that holds streams still writes as one with
// another, as it cannot tell them apart (dvbv5: T2-MI streams of one input
// stream). A format without streams leaves every further stream of a
// frequency out, and TranspondersLeftOut counts those.
size_t StreamsNotToldApart(const Catalogue& catalogue, const OutputFormat& format);

// A file type kavrel reads back, known by its content (probe) or else by
// the extension of its name.
struct InputFormat {
  std::string_view extension;  // upper case, with the dot; empty: by content
  bool (*probe)(std::string_view bytes);  // nullptr: by extension
  std::string_view label;  // as "Loading <label> file (...)..." names it
  FileReader read;
};

// The row of a file name's extension (letter case ignored), or nullptr.
const InputFormat* InputFormatOf(std::string_view fileName);

// The row of a file: a row that knows the bytes by their content first,
// then the row of the name's extension; nullptr for neither (a page).
const InputFormat* InputFormatOf(std::string_view fileName, std::string_view bytes);

// The lines of --help that list /Format=: every letter, then one line per
// format, in table order.
std::vector<std::string> FormatHelpLines();

// The row of a format code, or nullptr.
const OutputFormat* FindOutputFormat(uint8_t code);

// The row a "/Format=" value chooses (the text after "="), or nullptr.
const OutputFormat* FormatOfLetters(std::string_view value);

// The row of a SaveFormat value (exactly as written), or nullptr.
const OutputFormat* FormatOfConfigName(std::string_view name);

}  // namespace kavrel

#endif
