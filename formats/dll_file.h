// The DLL program list: the whole catalogue (DVB-S and DVB-S2) as a binary
// file. Despite the extension it is plain data; all integers are 32-bit
// little-endian, texts NUL-padded in fixed fields:
//
//   count of satellite blocks                                   4 bytes
//   per satellite: header                                      68 bytes
//     0  list name "0130.lst"                                   20
//     20 1                                                       4
//     24 display name "<short name>_0130.lst"                   20
//     44 signature "VisionP program list" (no NUL)              20
//     64 number of transponder records                           4
//   per transponder: record                                    60 bytes
//     0 frequency MHz, 4 symbol rate kS/s, 8 polarization (0 V, 1 H,
//     2 L, 3 R), 20 system (0 DVB-S, 23 DVB-S2), everything else zero
//
// The format has no FEC, providers or stream ids: a round trip through it
// loses them.
#ifndef KAVREL_FORMATS_DLL_FILE_H
#define KAVREL_FORMATS_DLL_FILE_H

#include <string>
#include <string_view>

#include "catalogue/satellite_sink.h"
#include "formats/file_reading.h"
#include "formats/writer_context.h"

namespace kavrel {

constexpr size_t kDllHeaderSize = 68;
constexpr size_t kDllRecordSize = 60;
constexpr std::string_view kDllSignature = "VisionP program list";

// Prints "Writting DLL file..." and, unless the catalogue is empty, writes
// satellite.dll (or the first free numbered name) in the current
// directory.
void WriteDllFile(const Catalogue& catalogue, const WriterContext& context);

// Reads one DLL program list into the catalogue through admission. Blocks
// without the signature are passed over 68 bytes at a time; counts larger
// than the file read what is there. kNoSatellite when no block holds the
// signature (an empty file, or one that is no program list).
FileReadResult ReadDllFile(SatelliteSink& sink, const SourceText& file);

// The first 11 characters of a satellite name, cut before their last blank
// when the name is longer than that: "Example Satellite 2" -> "Example".
std::string DllShortName(const std::string& name);

}  // namespace kavrel

#endif
