// Reads a saved FlySat page into the catalogue.
#ifndef KAVREL_PARSERS_FLYSAT_PARSER_H
#define KAVREL_PARSERS_FLYSAT_PARSER_H

#include "catalogue/satellite_sink.h"

namespace kavrel {

// Always kRead: the page is read to its end, and rows it cannot read are
// skipped.
ProducerResult ParseFlySatPage(SatelliteSink& sink, const SourceText& page);

}  // namespace kavrel

#endif
