// Reads a saved SatcoDX page into the catalogue.
#ifndef KAVREL_PARSERS_SATCODX_PARSER_H
#define KAVREL_PARSERS_SATCODX_PARSER_H

#include <string>

namespace kavrel {

struct Run;

// 0 when the page was read to its end, -1 when it was abandoned.
int ParseSatcoDXPage(Run& run, const std::string& path);

}  // namespace kavrel

#endif
