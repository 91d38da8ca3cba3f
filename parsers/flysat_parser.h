// Reads a saved FlySat page into the catalogue.
#ifndef KAVREL_PARSERS_FLYSAT_PARSER_H
#define KAVREL_PARSERS_FLYSAT_PARSER_H

#include <string>

namespace kavrel {

struct Run;

// Always 0: the page is read to its end, and rows it cannot read are
// skipped.
int ParseFlySatPage(Run& run, const std::string& path);

}  // namespace kavrel

#endif
