// INI transponder files: one satellite per file, in three layouts.
//
//   [SATTYPE]        1 = position ("%.4d"), 2 = name
//   [DVB]            0 = count, 1..n = "freq,pol,sr,fec[,S2][; providers]"
//   [DVBS2], [DSS]   layout i3 only
//
// i1 writes DVB-S only; i2 writes DVB-S and DVB-S2 in [DVB], the latter
// marked ",S2"; i3 gives each of the three kinds its own section. The
// reader takes all three back, and the dialects other programs write.
#ifndef KAVREL_FORMATS_INI_FILE_H
#define KAVREL_FORMATS_INI_FILE_H

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "catalogue/catalogue.h"
#include "catalogue/options.h"
#include "catalogue/satellite_sink.h"
#include "formats/file_reading.h"
#include "formats/writer_context.h"

namespace kavrel {

enum class IniLayout { kI1, kI2, kI3 };

// Prints "Writting INI file(s)..." and writes one file per satellite in
// table order.
void WriteIniFiles(const Catalogue& catalogue, const WriterContext& context, IniLayout layout);

// Writes one satellite to a new file in the current directory and prints
// its "Creating ..." line. A refused write ends the run with
// "Unable to write to <path>".
void WriteIniSatellite(const WriterContext& context, const SatelliteRecord& satellite,
                       IniLayout layout);

// The text of the file WriteIniSatellite writes.
std::string IniSatelliteText(const SatelliteRecord& satellite, IniLayout layout,
                             bool providersInfo);

// The number of the satellite's transponders whose kind is in the set.
int CountKinds(const SatelliteRecord& satellite, const KindSet& kinds);

// Reads one INI transponder file into the catalogue through admission.
// The lines a count (key "0") covers are read whatever the outcome; the
// outcome says when a file names no satellite ([SATTYPE]) and holds no
// transponder section, when a count is no number of lines, and when it
// promises lines the section lacks.
FileReadResult ReadIniFile(SatelliteSink& sink, const SourceText& file);

// Cuts a transponder line into five trimmed fields at its first four
// commas (views into the line); text after the fifth field is ignored.
std::array<std::string_view, 5> SplitIniLine(std::string_view text);

}  // namespace kavrel

#endif
