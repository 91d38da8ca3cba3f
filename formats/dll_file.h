// The DLL program list: the whole catalogue (DVB-S and DVB-S2) as a binary
// file of fixed-size satellite headers and transponder records.
#ifndef KAVREL_FORMATS_DLL_FILE_H
#define KAVREL_FORMATS_DLL_FILE_H

#include <string>

namespace kavrel {

struct Run;

// Prints "Writting DLL file..." and writes satellite.dll (or the first free
// numbered name) in the current directory.
void WriteDllFile(Run& run);

// Reads one DLL program list into the catalogue through admission.
void ReadDllFile(Run& run, const std::string& path);

}  // namespace kavrel

#endif
