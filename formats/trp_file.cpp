#include "formats/trp_file.h"

#include "catalogue/run.h"

namespace kavrel {

void WriteTrpFiles(Run& run) { run.out << "Writting TRP file(s)..." << '\n'; }

}  // namespace kavrel
