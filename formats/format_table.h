// The format table: one row per output format, so that a new format is one
// row here and one file in formats/.
#ifndef KAVREL_FORMATS_FORMAT_TABLE_H
#define KAVREL_FORMATS_FORMAT_TABLE_H

#include <array>
#include <cstdint>
#include <ostream>
#include <span>
#include <string_view>

#include "catalogue/catalogue.h"
#include "catalogue/options.h"
#include "catalogue/satellite_sink.h"

namespace kavrel {

// What a writer needs of the run besides the catalogue.
struct WriterContext {
  std::ostream& out;           // progress lines
  bool ProvidersInfo = false;  // INI lines carry the providers text
};

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
};

// How many transponders of the catalogue a format leaves out: those of
// kinds it does not hold, and further streams where it writes only the
// first of a frequency.
size_t TranspondersLeftOut(const Catalogue& catalogue, const OutputFormat& format);

// A file type kavrel reads back, chosen by the extension of the file name.
struct InputFormat {
  std::string_view extension;  // upper case, with the dot
  std::string_view label;      // as "Loading <label> file (...)..." names it
  Producer read;
};

// The row of a file name's extension (letter case ignored), or nullptr.
const InputFormat* InputFormatOf(std::string_view fileName);

// "Loading <label> file (<name>)...", the first line of every reader.
void AnnounceLoading(std::ostream& out, std::string_view label, std::string_view name);

// The row of a format code, or nullptr.
const OutputFormat* FindOutputFormat(uint8_t code);

// The row a "/Format=" value chooses (the text after "="), or nullptr.
const OutputFormat* FormatOfLetters(std::string_view value);

// The row of a SaveFormat value (exactly as written), or nullptr.
const OutputFormat* FormatOfConfigName(std::string_view name);

}  // namespace kavrel

#endif
