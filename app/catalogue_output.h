// The end of a run: the catalogue written in the format the options chose,
// with a note for what the format could not hold.
#ifndef KAVREL_APP_CATALOGUE_OUTPUT_H
#define KAVREL_APP_CATALOGUE_OUTPUT_H

namespace kavrel {

struct Run;

// Calls the writer that the format code selects, then notes the
// transponders it left out and the streams it wrote as one.
void WriteCatalogue(Run& run);

}  // namespace kavrel

#endif
