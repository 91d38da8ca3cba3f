#include "formats/dll_file.h"

#include "catalogue/run.h"

namespace kavrel {

void WriteDllFile(Run& run) { run.out << "Writting DLL file..." << '\n'; }

void ReadDllFile(Run&, const std::string&) {}

}  // namespace kavrel
