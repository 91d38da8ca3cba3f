// Reads a saved SatcoDX page into the catalogue.
#ifndef KAVREL_PARSERS_SATCODX_PARSER_H
#define KAVREL_PARSERS_SATCODX_PARSER_H

#include "catalogue/satellite_sink.h"

namespace kavrel {

// kRead when the page was read to its end, kAbandoned when it was given up.
ProducerResult ParseSatcoDXPage(SatelliteSink& sink, const SourceText& page);

}  // namespace kavrel

#endif
