// Reads a saved LyngSat page of the site's markups since 2018 (the nine
// cells of 2018-2020, the mux-linked rows of 2021 on, and restylings of
// them) into the catalogue, by what the cells say rather than by their
// markup. The oldest markup has its own reader, parsers/lyngsat_parser.h;
// IsTodaysLyngSatPage tells the two apart.
#ifndef KAVREL_PARSERS_LYNGSAT_TODAY_PARSER_H
#define KAVREL_PARSERS_LYNGSAT_TODAY_PARSER_H

#include <string_view>

#include "catalogue/satellite_sink.h"

namespace kavrel {

// True when the page is not of the oldest markup: its title reads
// "<title>Name at 4.0°W - LyngSat</title>" (East or West, the degree sign
// as one Latin-1 byte, in UTF-8, as "&deg;" or left out; tags in any
// letter case), and it either links its frequencies to mux pages or lacks
// the oldest markup's frequency cell ('align="center"><font
// face="Verdana" size=2><b>'). No copies of the page.
bool IsTodaysLyngSatPage(std::string_view page);

// Names the satellite from the page title, then offers one transponder per
// table row ("<tr>" to "</tr>", over lines or on one) that holds a cell
// whose first line is a frequency with its polarization ("10719 V",
// "12380.5 H"), a system name within the next four cells (DVB-S, DVB-S2,
// DVB-S2X and DSS are kept; ISDB, Digicipher, ABS and DTMB rows are offered
// as kind 0, which admission refuses) and a symbol rate ("27500-3/4" or
// "27500 3/4", an unknown FEC as "?") in the system's cell or the next.
// Modulation, "stream N", "PLS gold/root/combo N" and "T2-MI PLP N" are
// read in any letter case; DVB-S with 8PSK or APSK counts as DVB-S2. The
// feed and data colours of 2020 mark the row's service. Cells between the
// frequency and the system give the providers, the cell after the rate the
// network and transport stream ids. kRead when the page was read to its
// end, kAbandoned (before EndPage) when its title gives no satellite
// position.
ProducerResult ParseTodaysLyngSatPage(SatelliteSink& sink, const SourceText& page);

}  // namespace kavrel

#endif
