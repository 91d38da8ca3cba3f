// The channel-list data files of the Kathrein UFS 910 receiver: sat.dat,
// carrier.dat, service.dat and favorite.dat.
#ifndef KAVREL_FORMATS_KATHREIN_FILES_H
#define KAVREL_FORMATS_KATHREIN_FILES_H

namespace kavrel {

struct Run;

// Prints "Writting Kathrein UFS 910 files..." and writes the four files.
void WriteKathreinFiles(Run& run);

}  // namespace kavrel

#endif
