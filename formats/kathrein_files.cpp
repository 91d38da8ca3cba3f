#include "formats/kathrein_files.h"

#include "catalogue/run.h"

namespace kavrel {

void WriteKathreinFiles(Run& run) { run.out << "Writting Kathrein UFS 910 files..." << '\n'; }

}  // namespace kavrel
