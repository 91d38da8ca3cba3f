// TRP transponder lists: one tab-separated text list per satellite between
// fixed banner lines, named after the satellite and its position
// ("Example Sat(13.0e).trp"). DVB-S and DVB-S2 transponders only; lines
// end with LF.
#ifndef KAVREL_FORMATS_TRP_FILE_H
#define KAVREL_FORMATS_TRP_FILE_H

#include <cstdint>
#include <string>
#include <string_view>

#include "catalogue/catalogue.h"
#include "formats/writer_context.h"

namespace kavrel {

// Prints "Writting TRP file(s)..." and writes one list per satellite in
// table order.
void WriteTrpFiles(const Catalogue& catalogue, const WriterContext& context);

// Writes one satellite's list to a new file in the current directory and
// prints its "Creating ..." line.
void WriteTrpSatellite(const WriterContext& context, const SatelliteRecord& satellite);

// The name with "_" for every byte outside blank..."~" and for each of
// * ? : / \ < > " |.
std::string SafeFileName(std::string_view text);

// The position in degrees with one decimal and a lower-case "e" (East,
// above 0) or "w" (West, 0 included): 130 "(13.0e)", 1801 "(179.9w)",
// 0 "(0.0w)".
std::string TrpPositionText(int32_t position);

}  // namespace kavrel

#endif
