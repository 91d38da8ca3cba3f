// Reads a saved KingOfSat page into the catalogue.
#ifndef KAVREL_PARSERS_KINGOFSAT_PARSER_H
#define KAVREL_PARSERS_KINGOFSAT_PARSER_H

#include <string>

namespace kavrel {

struct Run;

// 0 when the page was read to its end, -1 when it was abandoned.
int ParseKingOfSatPage(Run& run, const std::string& path);

}  // namespace kavrel

#endif
