#include "parsers/kingofsat_parser.h"

#include "catalogue/run.h"

namespace kavrel {

int ParseKingOfSatPage(Run&, const std::string&) { return 0; }

}  // namespace kavrel
