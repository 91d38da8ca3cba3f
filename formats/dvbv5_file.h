// Channel files of the DVBV5 format, as today's Linux tuning tools read
// them: "[name]" blocks of "KEY = VALUE" lines, one block per transponder.
// The files hold no satellite: the collection that publishes them puts the
// name and the orbital position into the file name ("Hotbird-13.0E").
#ifndef KAVREL_FORMATS_DVBV5_FILE_H
#define KAVREL_FORMATS_DVBV5_FILE_H

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "catalogue/satellite_sink.h"
#include "formats/file_reading.h"
#include "formats/writer_context.h"

namespace kavrel {

// True when the text is a channel file: "[...]" blocks of "KEY = VALUE"
// lines, one of them DELIVERY_SYSTEM. Told by content, whatever the name;
// only the first few KB are looked at.
bool IsDvbv5Text(std::string_view text);

// The satellite a channel file's name (its last path component) gives:
// "Hotbird-13.0E" is "Hotbird" at 13.0 E, "Amos-4w" "Amos" at 4.0 W. The
// position ends the name after the last "-" (a name that is nothing but a
// position has an empty satellite name); a "(n)" that kavrel adds to a name
// already taken is not part of the satellite name. Nothing when the name
// holds no position from 0 to 180 degrees.
struct Dvbv5Satellite {
  std::string name;
  int32_t position = 0;
  bool operator==(const Dvbv5Satellite&) const = default;
};
std::optional<Dvbv5Satellite> SatelliteOfDvbv5Name(std::string_view fileName);

// The name of a satellite's channel file, "Hot-Bird-13.0E"; copy n > 0 is
// "Hot-Bird(n)-13.0E", so that the position still ends the name.
std::string Dvbv5FileName(const SatelliteRecord& satellite, int64_t copy = 0);

// Reads the DVB-S and DVB-S2 entries of a channel file into the satellite
// at the position its file name gives. A file whose name holds no
// position is not read: kNoPosition.
FileReadResult ReadDvbv5File(SatelliteSink& sink, const SourceText& file);

// The text of one satellite's channel file: a "[CHANNEL]" block per DVB-S
// and DVB-S2 transponder, every stream of a frequency included.
std::string Dvbv5SatelliteText(const SatelliteRecord& satellite);

// How many of the satellite's streams its channel file writes as one block
// with the stream before them, as the format cannot tell them apart.
size_t Dvbv5MergedStreams(const SatelliteRecord& satellite);

// Prints "Writting dvbv5 channel files..." and writes one file per
// satellite that has DVB-S or DVB-S2 transponders.
void WriteDvbv5Files(const Catalogue& catalogue, const WriterContext& context);

}  // namespace kavrel

#endif
