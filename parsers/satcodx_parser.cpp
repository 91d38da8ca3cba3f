#include "parsers/satcodx_parser.h"

#include "catalogue/run.h"

namespace kavrel {

int ParseSatcoDXPage(Run&, const std::string&) { return 0; }

}  // namespace kavrel
