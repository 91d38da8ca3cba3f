// TRP transponder lists: one tab-separated text list per satellite.
#ifndef KAVREL_FORMATS_TRP_FILE_H
#define KAVREL_FORMATS_TRP_FILE_H

namespace kavrel {

struct Run;

// Prints "Writting TRP file(s)..." and writes one list per satellite.
void WriteTrpFiles(Run& run);

}  // namespace kavrel

#endif
