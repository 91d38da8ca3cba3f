// Reads a saved KingOfSat page in the markup the site has used since 2020:
// one <table class="frq"> per transponder, each followed by its channel
// table, in any language of the site's interface.
#ifndef KAVREL_PARSERS_KINGOFSAT_TODAY_PARSER_H
#define KAVREL_PARSERS_KINGOFSAT_TODAY_PARSER_H

#include <string_view>

#include "catalogue/satellite_sink.h"

namespace kavrel {

// True when the page holds a transponder table of today's markup. Pages of
// the older markup never do: their transponders are colspan rows of one
// outer table, without a table class. One search over the page.
bool IsTodaysKingOfSatPage(std::string_view page);

// Always kRead: the page is read to its end, and transponder tables it
// cannot read are skipped. The satellite is the one the title names at its
// position; a page whose title gives no position takes the position and
// satellite cells of its rows. Feed transponders follow /Feeds.
ProducerResult ParseTodaysKingOfSatPage(SatelliteSink& sink, const SourceText& page);

}  // namespace kavrel

#endif
