// Reads a saved LyngSat page into the catalogue.
#ifndef KAVREL_PARSERS_LYNGSAT_PARSER_H
#define KAVREL_PARSERS_LYNGSAT_PARSER_H

#include <string>

namespace kavrel {

struct Run;

// 0 when the page was read to its end, -1 when it was abandoned.
int ParseLyngSatPage(Run& run, const std::string& path);

}  // namespace kavrel

#endif
