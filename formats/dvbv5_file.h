// Channel files of the DVBV5 format, as today's Linux tuning tools read
// them: "[name]" blocks of "KEY = VALUE" lines, one block per transponder.
#ifndef KAVREL_FORMATS_DVBV5_FILE_H
#define KAVREL_FORMATS_DVBV5_FILE_H

#include <string_view>

#include "catalogue/satellite_sink.h"
#include "formats/format_table.h"

namespace kavrel {

// True when the text is a channel file: "[...]" blocks of "KEY = VALUE"
// lines, one of them DELIVERY_SYSTEM. Told by content, whatever the name.
bool IsDvbv5Text(std::string_view text);

// Reads the DVB-S and DVB-S2 entries of a channel file into the satellite
// at the position its file name gives.
ProducerResult ReadDvbv5File(SatelliteSink& sink, const SourceText& file);

// Prints "Writting dvbv5 channel files..." and writes one file per
// satellite, named "<Name>-<position><E|W>".
void WriteDvbv5Files(const Catalogue& catalogue, const WriterContext& context);

}  // namespace kavrel

#endif
