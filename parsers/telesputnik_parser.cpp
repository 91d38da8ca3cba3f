#include "parsers/telesputnik_parser.h"

#include "catalogue/run.h"

namespace kavrel {

int ParseTelesputnikPage(Run&, const std::string&) { return 0; }

}  // namespace kavrel
