// Reads a saved LyngSat page in the site's current markup (pages saved from
// 2018 on) into the catalogue. The older markup has its own reader,
// parsers/lyngsat_parser.h; IsTodaysLyngSatPage tells the two apart.
#ifndef KAVREL_PARSERS_LYNGSAT_TODAY_PARSER_H
#define KAVREL_PARSERS_LYNGSAT_TODAY_PARSER_H

#include <string_view>

#include "catalogue/satellite_sink.h"

namespace kavrel {

// True when the page is in the current markup: its title reads
// "<title>Name at 4.0°W - LyngSat</title>" (East or West, the degree sign
// as one Latin-1 byte, in UTF-8 or as "&deg;") and its frequency cells nest
// the size in a font of their own ('<font face="Verdana"><font size=2><b>').
// Pages of the older markup never have that cell. One pass over the page,
// no copies.
bool IsTodaysLyngSatPage(std::string_view page);

// Names the satellite from the page title, then files one transponder per
// table row that gives a frequency, a polarization, a DVB-S, DVB-S2 (also
// DVB-S2X) or DSS system and a symbol rate; rows of other systems and band
// headings are passed over. Feed and data rows follow the options. kRead
// when the page was read to its end, kAbandoned (before EndPage) when its
// title gives no satellite position.
ProducerResult ParseTodaysLyngSatPage(SatelliteSink& sink, const SourceText& page);

}  // namespace kavrel

#endif
