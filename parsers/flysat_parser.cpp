#include "parsers/flysat_parser.h"

#include "catalogue/run.h"

namespace kavrel {

int ParseFlySatPage(Run&, const std::string&) { return 0; }

}  // namespace kavrel
