#include "parsers/lyngsat_parser.h"

#include "catalogue/run.h"

namespace kavrel {

int ParseLyngSatPage(Run&, const std::string&) { return 0; }

}  // namespace kavrel
