// The XML satellites file: the whole catalogue (DVB-S only) in one text file,
// one line per element:
//
//   <?xml version="1.0" encoding="iso-8859-1"?>
//   <satellites>
//   <TAB><sat name="Example Sat" flags="5" position="130">
//   <TAB><TAB><transponder frequency="10719000" symbol_rate="27500000" polarization="1" fec_inner="5"/>
//   <TAB></sat>
//   </satellites>
//
// Positions are signed tenths of a degree (West negative), frequencies kHz,
// symbol rates S/s; polarization is coded 0 H, 1 V, 2 L, 3 R, and fec_inner
// holds the FEC numerator only. Lines end with LF; names are written byte
// for byte except "&", "<" and '"', which would break the element and
// become "-". The reader recognises lines by their first characters; it is
// not a general XML parser.
//
// The reader also takes the satellites.xml of today's receivers (see
// enigma2_file.h): a <transponder> with a "system" attribute is read with
// that dialect's codes, kHz, streams, roll-off and pilot included; one
// without it is read as above, byte for byte. Character references are
// decoded in the names of every file and in the dialect's attributes; a
// declaration naming UTF-8 (or a byte order mark) makes the names UTF-8,
// otherwise they are Latin-1, as this writer writes them.
#ifndef KAVREL_FORMATS_XML_FILE_H
#define KAVREL_FORMATS_XML_FILE_H

#include <optional>
#include <string>
#include <string_view>

#include "catalogue/satellite_sink.h"
#include "catalogue/code_table.h"
#include "formats/xml_text.h"
#include "formats/file_reading.h"
#include "formats/writer_context.h"

namespace kavrel {

// Prints "Writting XML file..." and, unless the catalogue is empty, writes
// satellites.xml (or the first free numbered name) in the current
// directory.
void WriteXmlFile(const Catalogue& catalogue, const WriterContext& context);

// Reads one XML satellites file into the catalogue through admission, the
// flags of each satellite included. kNoSatellite for a file without a
// "<sat " line, kEndsEarly for one without its closing "</satellites>"
// (what it held before the cut is read all the same).
FileReadResult ReadXmlFile(SatelliteSink& sink, const SourceText& file);

// "1" to "8" give n/(n+1); any other character gives the unknown FEC 0/0.
FecFraction FecFromXmlCode(char code);

}  // namespace kavrel

#endif
